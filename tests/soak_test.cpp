#include "game_folder.h"
#include "host.h"

#include "switcher/switcher.h"

// Many install and restore cycles on one folder: the same files every time, no descriptor
// left open, no memory kept.
namespace
{

class QuietView final : public switcher::SetView
{
public:
    void SetCaption(const std::string&) override {}
    void SetEnabled(switcher::Control, bool) override {}
    void SetWindowEnabled(bool) override {}
    void ShowMessage(const std::string& text) override { ADD_FAILURE() << text; }
};

using SoakTest = GameFolderTest;

} // namespace

TEST_F(SoakTest, TwoHundredCyclesLeaveTheSameFilesAndNothingBehind)
{
    for (int i = 0; i < 50; ++i) {
        Write("JOV/M" + std::to_string(i) + (i % 2 ? ".FLT" : ".DAT"), std::string(2000 + i, 'j'));
    }
    Write("KRS/FLT.CDF", "stock flight models");
    Write("KRS/DATA.CDF", "stock data");
    Write("readme.txt", "mine");
    QuietView view;
    switcher::Switcher sw(view);
    sw.Start();
    const auto stock = Files();
    sw.Install_Click();
    const auto installed = Files();
    sw.Remove_Click();

    const std::size_t handles = OpenHandles();
    std::size_t allocatedAfterWarmUp = 0;
    for (int cycle = 1; cycle <= 200; ++cycle) {
        sw.Install_Click();
        ASSERT_EQ(Files(), installed) << "cycle " << cycle;
        sw.Remove_Click();
        ASSERT_EQ(Files(), stock) << "cycle " << cycle;
        if (cycle == 20) {
            allocatedAfterWarmUp = AllocatedBytes();
        }
    }
    EXPECT_EQ(OpenHandles(), handles);
    EXPECT_LE(AllocatedBytes(), allocatedAfterWarmUp + 16 * 1024)
        << "heap in use grew from " << allocatedAfterWarmUp << " to " << AllocatedBytes();
}
