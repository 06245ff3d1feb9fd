// The three language files: the same ids in each, every text filled in and translated, the same
// "%d"/"%s" places in every language, and every id the layouts and the program's code use.

#include <gtest/gtest.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QHash>
#include <QRegularExpression>
#include <QSet>
#include <QXmlStreamReader>

#include "app/skin_check.h"

namespace vq::app {
namespace {

struct Language {
    QString name;
    QHash<QString, QString> texts;
    QStringList duplicates;
};

Language ReadLanguage(const QString& file) {
    Language lan;
    QFile f(QDir(QStringLiteral(VQ_SOURCE_DIR "/skin")).filePath(file));
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << file.toStdString();
    QXmlStreamReader xml(&f);
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement) continue;
        if (xml.name() == u"language") {
            lan.name = xml.attributes().value(QStringLiteral("name")).toString();
        } else if (xml.name() == u"text") {
            const QString id = xml.attributes().value(QStringLiteral("id")).toString();
            if (lan.texts.contains(id)) lan.duplicates << id;
            lan.texts.insert(id, xml.readElementText());
        }
    }
    EXPECT_FALSE(xml.hasError()) << file.toStdString() << ": " << xml.errorString().toStdString();
    return lan;
}

class Languages : public ::testing::Test {
  protected:
    void SetUp() override {
        en_ = ReadLanguage(QStringLiteral("lan_en.xml"));
        cn_ = ReadLanguage(QStringLiteral("lan_cn.xml"));
        tw_ = ReadLanguage(QStringLiteral("lan_sn.xml"));
    }
    void ExpectInAll(const QString& id, const QString& usedBy) {
        for (const Language* lan : {&en_, &cn_, &tw_}) {
            EXPECT_TRUE(lan->texts.contains(id))
                << lan->name.toStdString() << " lacks " << id.toStdString() << " (used by "
                << usedBy.toStdString() << ")";
        }
    }
    Language en_, cn_, tw_;
};

bool HasCjk(const QString& text) {
    for (QChar c : text) {
        if (c.unicode() >= 0x4E00 && c.unicode() <= 0x9FFF) return true;
    }
    return false;
}

TEST_F(Languages, AllThreeHoldTheSameFilledInIds) {
    EXPECT_EQ(en_.name, QStringLiteral("en"));
    EXPECT_EQ(cn_.name, QStringLiteral("cn_zh"));
    EXPECT_EQ(tw_.name, QStringLiteral("cn_tw"));
    for (const Language* lan : {&en_, &cn_, &tw_}) {
        EXPECT_TRUE(lan->duplicates.isEmpty())
            << lan->name.toStdString() << ": " << lan->duplicates.join(' ').toStdString();
        for (auto it = lan->texts.cbegin(); it != lan->texts.cend(); ++it) {
            EXPECT_FALSE(it.value().trimmed().isEmpty())
                << lan->name.toStdString() << ": " << it.key().toStdString() << " is empty";
        }
    }
    const QList<QString> enIds = en_.texts.keys();
    const QSet<QString> en(enIds.begin(), enIds.end());
    for (const Language* lan : {&cn_, &tw_}) {
        const QList<QString> ids = lan->texts.keys();
        const QSet<QString> other(ids.begin(), ids.end());
        EXPECT_EQ(other - en, QSet<QString>()) << lan->name.toStdString() << " has extra ids";
        EXPECT_EQ(en - other, QSet<QString>()) << lan->name.toStdString() << " lacks ids";
    }
}

TEST_F(Languages, PlaceholdersAgreeInEveryLanguage) {
    // A translation that drops or adds a "%d" makes the program format the wrong text.
    static const QRegularExpression place(QStringLiteral("%[ds]"));
    for (auto it = en_.texts.cbegin(); it != en_.texts.cend(); ++it) {
        QStringList expected;
        for (auto m = place.globalMatch(it.value()); m.hasNext();)
            expected << m.next().captured();
        for (const Language* lan : {&cn_, &tw_}) {
            QStringList got;
            for (auto m = place.globalMatch(lan->texts.value(it.key())); m.hasNext();) {
                got << m.next().captured();
            }
            EXPECT_EQ(got, expected) << lan->name.toStdString() << ": " << it.key().toStdString();
        }
    }
    EXPECT_TRUE(en_.texts.value(QStringLiteral("message_text_16")).contains(QStringLiteral("%d")));
    EXPECT_TRUE(en_.texts.value(QStringLiteral("message_text_17")).contains(QStringLiteral("%d")));
}

TEST_F(Languages, MessagesAreTranslatedIntoChinese) {
    for (int i = 1; i <= 20; ++i) {
        const QString id = QStringLiteral("message_text_%1").arg(i);
        ExpectInAll(id, QStringLiteral("the message box"));
        EXPECT_TRUE(HasCjk(cn_.texts.value(id))) << id.toStdString();
        EXPECT_TRUE(HasCjk(tw_.texts.value(id))) << id.toStdString();
        // Traditional and simplified are written differently for every message.
        EXPECT_NE(cn_.texts.value(id), tw_.texts.value(id)) << id.toStdString();
    }
}

TEST_F(Languages, EveryIdTheLayoutsUseIsTranslated) {
    QDirIterator it(QStringLiteral(VQ_SOURCE_DIR "/skin"), {QStringLiteral("*.xml")}, QDir::Files);
    int layouts = 0;
    while (it.hasNext()) {
        const QString path = it.next();
        if (QFileInfo(path).fileName().startsWith(QLatin1String("lan_"))) continue;
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        for (const QString& id : TextIdsInLayout(QString::fromUtf8(f.readAll()))) {
            ExpectInAll(id, QFileInfo(path).fileName());
        }
        ++layouts;
    }
    EXPECT_GE(layouts, 17);
}

TEST_F(Languages, EveryIdTheProgramNamesIsTranslated) {
    for (const QString& id : NeededCodeTextIds())
        ExpectInAll(id, QStringLiteral("the program"));
    // Text ids written into the program's sources: string literals that are ids of one of the
    // languages, or are spelled like the program's id families, must be in all three.
    static const QRegularExpression literal(QStringLiteral("\"((?:[^\"\\\\]|\\\\.)*)\""));
    static const QRegularExpression family(QStringLiteral(
        "^(message_text_\\d+|keyboard_key_.+|mouse_key_\\w+|mouse_move_to_\\w+|media_\\w+|"
        "web_\\w+|wed_\\w+|system_\\w+|combo_\\w+|GUN_\\d+|Deng_\\w+|macro_btn_\\w+|ui_\\w+|"
        "menu_\\w+)$"));
    int files = 0;
    for (const char* root : {"/src/app", "/src/core"}) {
        QDirIterator it(QStringLiteral(VQ_SOURCE_DIR) + QLatin1String(root),
                        {QStringLiteral("*.cpp"), QStringLiteral("*.h")}, QDir::Files,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            QFile f(path);
            ASSERT_TRUE(f.open(QIODevice::ReadOnly));
            const QString source = QString::fromUtf8(f.readAll());
            for (auto m = literal.globalMatch(source); m.hasNext();) {
                const QString text = m.next().captured(1);
                const bool known = en_.texts.contains(text) || cn_.texts.contains(text) ||
                                   tw_.texts.contains(text);
                if (known || family.match(text).hasMatch()) {
                    ExpectInAll(text, QDir(QStringLiteral(VQ_SOURCE_DIR)).relativeFilePath(path));
                }
            }
            ++files;
        }
    }
    EXPECT_GT(files, 20);
}

TEST(TextIds, LayoutTextsAreIdsOnlyWhenSpelledLikeOne) {
    EXPECT_TRUE(LooksLikeTextId(QStringLiteral("ui_light_effect")));
    EXPECT_TRUE(LooksLikeTextId(QStringLiteral("GUN_1")));
    EXPECT_FALSE(LooksLikeTextId(QStringLiteral("1000 Hz")));
    EXPECT_FALSE(LooksLikeTextId(QStringLiteral("Varnhold Quillet")));
    EXPECT_FALSE(LooksLikeTextId(QStringLiteral("images/ms/key_left_normal.png")));
    EXPECT_FALSE(LooksLikeTextId(QStringLiteral("_hidden")));
    const QStringList ids = TextIdsInLayout(QStringLiteral(
        "<ui><widget class=\"QLabel\" name=\"a_b\"><property name=\"text\"><string>ui_title"
        "</string></property><property name=\"toolTip\"><string>plain words</string></property>"
        "<property name=\"pixmap\"><pixmap>images/x_y.svg</pixmap></property></widget>"
        "<widget class=\"QComboBox\" name=\"c\"><item><property name=\"text\"><string>GUN_2"
        "</string></property></item></widget></ui>"));
    EXPECT_EQ(ids, (QStringList{QStringLiteral("ui_title"), QStringLiteral("GUN_2")}));
    EXPECT_EQ(TextIdsInLayout(QStringLiteral("<menu><item name=\"lan_en\" text=\"English\"/>"
                                             "<item name=\"x\" text=\"menu_about\"/></menu>")),
              QStringList{QStringLiteral("menu_about")});
}

}  // namespace
}  // namespace vq::app
