// The yardsticks of bench_demarrage, built with the same Qt, flags and build type as the program:
//   fenetre_nue           the least a Qt Widgets program does to put a window on the screen, an
//                         empty QWidget shown;
//   fenetre_nue --liste   the same window holding what the start window shows, a list of nine
//                         entries in a bold 9.75-point font: Qt lays the list out before the
//                         window is mapped, which loads the system's font configuration.
#include <QApplication>
#include <QFont>
#include <QListWidget>
#include <QWidget>
#include <cstring>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QWidget fenetre;
    if (argc > 1 && std::strcmp(argv[1], "--liste") == 0) {
        auto* liste = new QListWidget(&fenetre);
        QFont police(QStringLiteral("Liberation Sans"));
        police.setPointSizeF(9.75);
        police.setBold(true);
        liste->setFont(police);
        liste->setGeometry(0, 0, 160, 148);
        liste->addItems({QStringLiteral("NORMAL"), QStringLiteral("JAQUETTES CD"), QStringLiteral("UTILITAIRES"),
                         QString(), QStringLiteral("AJUSTER"), QStringLiteral("DOCUMENTATION"),
                         QStringLiteral("CONTACT"), QString(), QStringLiteral("QUITTER")});
        fenetre.resize(167, 174);
    }
    fenetre.show();
    return QApplication::exec();
}
