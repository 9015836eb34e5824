// Program entry of qpx. The start-up sequence lives in the application shell.
#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    return 0;
}
