#include "cli/virtual_store.h"

namespace cli
{
namespace
{

std::string Names(const finder::VirtualStore& store)
{
    std::string names;
    for (const std::string& name : store.shadowing) {
        names += (names.empty() ? "" : ", ") + name;
    }
    return names;
}

} // namespace

nlohmann::ordered_json VirtualStoreJson(const finder::VirtualStore& store)
{
    if (store.folder.empty()) {
        return nullptr;
    }
    return {{"folder", store.folder}, {"shadowing", store.shadowing}};
}

std::string VirtualStoreLine(const finder::VirtualStore& store)
{
    if (store.folder.empty()) {
        return {};
    }
    return "VirtualStore: " + (store.shadowing.empty() ? std::string("none") : Names(store)) +
           " in " + store.folder + '\n';
}

std::string VirtualStoreAdvice(const finder::VirtualStore& store)
{
    if (store.shadowing.empty()) {
        return {};
    }
    return "Windows keeps " + Names(store) + " in its VirtualStore (" + store.folder +
           "), and the game reads " + (store.shadowing.size() == 1 ? "it" : "them") +
           " in place of the game folder's, so a switch does not reach the game. Move " +
           (store.shadowing.size() == 1 ? "it" : "them") + " out of that folder or delete " +
           (store.shadowing.size() == 1 ? "it" : "them") +
           "; jov-switch leaves the VirtualStore alone.\n";
}

} // namespace cli
