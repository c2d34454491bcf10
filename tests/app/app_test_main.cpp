// The shell tests run inside one QApplication, without a screen unless one is asked for.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    setenv("SDL_NO_SIGNAL_HANDLERS", "1", 0);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Blubbi Blubbo"));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
