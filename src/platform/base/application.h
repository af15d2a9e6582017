#pragma once
// The program's application object. An error that no procedure handles does not end the
// program: it is shown in an "ERREUR" box with its number, the work in progress stays, and the
// event that raised it is dropped. The error is also written on the standard error.
#include <QApplication>

namespace kal {

class Application : public QApplication {
public:
    Application(int& argc, char** argv) : QApplication(argc, argv) {}
    bool notify(QObject* destinataire, QEvent* evenement) override;
};

// What the box says of an error no procedure handled (lines joined by CR).
QString messageErreurImprevue(int numero, const QString& description);

}  // namespace kal
