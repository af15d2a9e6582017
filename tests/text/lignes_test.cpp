// The line count of the text-images, the one rule wherever lines are counted.
#include "text/lignes.h"

#include <gtest/gtest.h>

TEST(CompterLignes, UnePlusUneParCrLfLeCaractereSuivantEtantPasse)
{
    EXPECT_EQ(kal::compterLignes(QString()), 1);
    EXPECT_EQ(kal::compterLignes(QStringLiteral("seul")), 1);
    EXPECT_EQ(kal::compterLignes(QStringLiteral("A\r\nB")), 2);
    EXPECT_EQ(kal::compterLignes(QStringLiteral("a\r\nb\r\nc")), 3);
    // A CR LF right after another one is passed over.
    EXPECT_EQ(kal::compterLignes(QStringLiteral("A\r\n\r\nB")), 2);
    // A CR LF at the very end counts; a lone CR or LF does not.
    EXPECT_EQ(kal::compterLignes(QStringLiteral("A\r\n")), 2);
    EXPECT_EQ(kal::compterLignes(QStringLiteral("A\rB\nC")), 1);
    EXPECT_EQ(kal::compterLignes(QStringLiteral("\r\n")), 2);
}
