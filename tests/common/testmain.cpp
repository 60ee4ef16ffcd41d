#include "dzqtcompat.h"

#include <QApplication>
#include <QByteArray>

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    // Dialogs and labels are real widgets; the headless platform lets them exist
    // without a display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", QByteArray(DZ_HEADLESS_PLATFORM));
    dzUseUtf8ForLocalText();
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
