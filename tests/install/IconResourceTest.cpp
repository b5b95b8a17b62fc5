// The program icon is compiled into every program that links the windows,
// without any registration call in main().
#include <QFile>
#include <QIcon>
#include <QImage>
#include <gtest/gtest.h>

TEST(IconResource, EveryImageIsThereAndLoads)
{
    const struct {
        const char *path;
        int size;
    } icons[] = {
        {":/icons/tovel-32.png", 32},
        {":/icons/tovel-256.png", 256},
        {":/icons/tovel.svg", 0},
    };
    for (const auto &icon : icons) {
        SCOPED_TRACE(icon.path);
        const QString path = QString::fromLatin1(icon.path);
        ASSERT_TRUE(QFile::exists(path));
        if (icon.size == 0)
            continue;
        const QImage image(path);
        ASSERT_FALSE(image.isNull());
        EXPECT_EQ(image.width(), icon.size);
        EXPECT_EQ(image.height(), icon.size);
        EXPECT_TRUE(image.hasAlphaChannel());
    }
    EXPECT_FALSE(QIcon(QStringLiteral(":/icons/tovel-32.png")).isNull());
}
