// Test programs start a QApplication before the tests run: the widgets, fonts, printers and
// images they use all need one. The platform is offscreen unless the environment says otherwise.
// The program's font substitutions are in force, as they are in the program.
#include "platform/richtext/police.h"

#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    kal::installerSubstitutionsPolices();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
