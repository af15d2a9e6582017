// Test programs start the program's application object before the tests run: the widgets,
// fonts, printers and images they use all need one. The platform is offscreen unless the environment says otherwise.
// The program's font substitutions are in force, as they are in the program.
//
// No test starts the desktop's own programs: stand-ins for the printer settings and for
// xdg-open stand first on PATH and do nothing (a test that looks at their calls puts its own).
#include "platform/base/application.h"
#include "platform/richtext/police.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

void remplacerProgrammesDuBureau(const QTemporaryDir& dossier)
{
    for (const char* nom : {"xdg-open", "system-config-printer", "www-browser", "x-www-browser"}) {
        QFile f(dossier.filePath(QString::fromLatin1(nom)));
        if (f.open(QIODevice::WriteOnly)) {
            f.write("#!/bin/sh\nexit 0\n");
            f.close();
            f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadOther |
                             QFile::ExeOther);
        }
    }
    qputenv("PATH", QFile::encodeName(dossier.path()) + ':' + qgetenv("PATH"));
}

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir bureau;
    remplacerProgrammesDuBureau(bureau);
    kal::Application app(argc, argv);
    kal::installerSubstitutionsPolices();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
