#include "platform/database/sqljet.h"

#include "platform/base/erreur.h"

#include <QRegularExpression>

namespace kal::bd {

static bool estCaractereMot(QChar c) { return c.isLetterOrNumber() || c == QLatin1Char('_'); }

QString traduireSql(const QString& jet)
{
    QString out;
    out.reserve(jet.size() + 8);
    const qsizetype n = jet.size();
    qsizetype i = 0;
    while (i < n) {
        const QChar c = jet[i];
        if (c == QLatin1Char('\'')) {
            // A quoted text, copied as it stands ('' is a quote inside it).
            const qsizetype debut = i++;
            while (i < n) {
                if (jet[i] == QLatin1Char('\'')) {
                    if (i + 1 < n && jet[i + 1] == QLatin1Char('\'')) {
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                ++i;
            }
            out += jet.mid(debut, i - debut);
        } else if (c == QLatin1Char('[')) {
            const qsizetype fin = jet.indexOf(QLatin1Char(']'), i + 1);
            if (fin < 0) {
                out += jet.mid(i);  // left for the engine to refuse
                break;
            }
            QString nom = jet.mid(i + 1, fin - i - 1);
            nom.replace(QLatin1Char('"'), QStringLiteral("\"\""));
            out += QLatin1Char('"') + nom + QLatin1Char('"');
            i = fin + 1;
        } else if (estCaractereMot(c)) {
            qsizetype j = i;
            while (j < n && estCaractereMot(jet[j]))
                ++j;
            const QString mot = jet.mid(i, j - i);
            if (mot.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0)
                out += QLatin1Char('1');
            else if (mot.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0)
                out += QLatin1Char('0');
            else
                out += mot;
            i = j;
        } else {
            out += c;
            ++i;
        }
    }
    return out;
}

Critere lireCritere(const QString& texte)
{
    static const QRegularExpression forme(QStringLiteral(
        R"(^\s*(\[[^\]]+\]|[A-Za-z_][A-Za-z0-9_]*)\s*(<>|<=|>=|=|<|>)\s*(.*?)\s*$)"));
    const auto m = forme.match(texte);
    if (!m.hasMatch())
        throw Erreur(err::CritereInvalide, QStringLiteral("critère de recherche illisible : « %1 »").arg(texte));
    Critere c;
    c.champ = m.captured(1);
    if (c.champ.startsWith(QLatin1Char('[')))
        c.champ = c.champ.mid(1, c.champ.size() - 2);
    c.operateur = m.captured(2);
    const QString v = m.captured(3);
    if (v.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0) {
        c.valeur = true;
    } else if (v.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0) {
        c.valeur = false;
    } else if (v.size() >= 2 && (v.front() == QLatin1Char('\'') || v.front() == QLatin1Char('"')) &&
               v.back() == v.front()) {
        QString t = v.mid(1, v.size() - 2);
        t.replace(QString(2, v.front()), QString(1, v.front()));
        c.valeur = t;
    } else {
        bool ok = false;
        const double d = v.toDouble(&ok);
        if (!ok)
            throw Erreur(err::CritereInvalide, QStringLiteral("critère de recherche illisible : « %1 »").arg(texte));
        c.valeur = d;
    }
    return c;
}

template <typename T>
static bool comparer(const QString& op, const T& a, const T& b)
{
    if (op == QLatin1String("="))
        return a == b;
    if (op == QLatin1String("<>"))
        return !(a == b);
    if (op == QLatin1String("<"))
        return a < b;
    if (op == QLatin1String(">"))
        return b < a;
    if (op == QLatin1String("<="))
        return !(b < a);
    return !(a < b);  // >=
}

static bool enNombre(const QVariant& v, double& d)
{
    if (v.typeId() == QMetaType::Bool) {
        d = v.toBool() ? -1.0 : 0.0;  // the engine's True is -1
        return true;
    }
    bool ok = false;
    d = v.toDouble(&ok);
    return ok;
}

bool satisfait(const Critere& c, const QVariant& valeurChamp)
{
    if (!valeurChamp.isValid() || valeurChamp.isNull())
        return false;
    if (c.valeur.typeId() == QMetaType::Bool) {
        double d = 0;
        if (!enNombre(valeurChamp, d))
            return false;
        const int a = d != 0 ? 1 : 0;
        const int b = c.valeur.toBool() ? 1 : 0;
        return comparer(c.operateur, a, b);
    }
    if (c.valeur.typeId() == QMetaType::QString) {
        const int r = QString::compare(valeurChamp.toString(), c.valeur.toString(), Qt::CaseInsensitive);
        return comparer(c.operateur, r, 0);
    }
    double d = 0;
    if (!enNombre(valeurChamp, d))
        return false;
    return comparer(c.operateur, d, c.valeur.toDouble());
}

}  // namespace kal::bd
