#pragma once
// The system's own error texts in the words of the program's messages. The C library and Qt
// describe a failed file step in English ("No such file or directory"); every message that
// shows such a cause goes through here, so that the user reads French only.
#include <QString>

namespace kal {

// The cause of a failure given by its system error number (errno), in French, lower case,
// without a final point: "le fichier ou le dossier n'existe pas", "accès refusé", ... A number
// without a text of its own gives "erreur du système n° <number>".
QString texteErreurSysteme(int numero);

// A text from the system or from Qt (QFile::errorString, QProcess::errorString, an
// std::error_code's message) with the system's English causes put in French; the rest of the
// text is kept as it stands.
QString enFrancais(const QString& texteSysteme);

}  // namespace kal
