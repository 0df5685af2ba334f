// The yardstick for start-up time: a Qt 6 Widgets program that shows one empty window.
#include <QApplication>
#include <QWidget>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QWidget window;
    window.resize(385, 285);
    window.show();
    return QApplication::exec();
}
