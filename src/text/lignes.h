#pragma once
// The line count of a text as the text-images count it, the one rule wherever lines are
// counted: 1, and 1 more for each CR LF met; after a CR LF the scan goes on three characters
// further, so the character right after a CR LF is passed over ("A" CR LF CR LF "B" counts 2).
#include <QString>

namespace kal {

int compterLignes(const QString& texte);

}  // namespace kal
