// Reading skin files: parse errors, hostile input, the validator a program hands to LoadSkin, and
// finding the elements of an applied form.
#include "skinparser.h"
#include "skintestfiles.h"
#include "tskin.h"

#include <QJsonArray>
#include <QWidget>
#include <gtest/gtest.h>

TEST(SkinFile, TheValidatorDecidesAndARefusedFileKeepsTheSkinInUse) {
    QTemporaryDir dir;
    QStringList asked;
    QString verdict = "mp3enc.skn: not for this program";
    const SkinValidator validator = [&](const SkinModel& model, const QString& fileName) {
        asked << fileName + ":" + QString::number(model.forms.size());
        return verdict;
    };
    const auto formOf = [](TSkin& skin, const char* name) {
        QWidget window;
        skin.ApplySkinForm(&window, name);
        return skin.GetSkinForm(&window) != nullptr;
    };

    // No built-in skin: no forms until a file loads.
    TSkin skin{nullptr};
    EXPECT_FALSE(formOf(skin, "mp3recorder"));
    EXPECT_EQ(skin.LastError(), "the skin has no form \"mp3recorder\"");

    // A file that does not parse never reaches the validator.
    EXPECT_FALSE(skin.LoadSkin(WriteSkin(dir, "[1, 2]"), validator));
    EXPECT_EQ(skin.LastError(), "mp3enc.skn: the file must hold one JSON object");
    EXPECT_TRUE(asked.isEmpty());

    // A refused file leaves the skin as it was, with the validator's message.
    EXPECT_FALSE(skin.LoadSkin(DefaultSkinPath(), validator));
    EXPECT_EQ(asked, QStringList{"mp3enc.skn:3"});
    EXPECT_EQ(skin.LastError(), verdict);
    EXPECT_FALSE(formOf(skin, "mp3recorder"));

    verdict.clear();
    EXPECT_TRUE(skin.LoadSkin(DefaultSkinPath(), validator));
    EXPECT_EQ(skin.LastError(), "");
    EXPECT_TRUE(formOf(skin, "mp3recorder"));

    verdict = "mp3enc.skn: refused";
    EXPECT_FALSE(skin.LoadSkin(
        WriteSkin(dir, WithRoot([](QJsonObject& root) { root["forms"] = QJsonArray(); })),
        validator));
    EXPECT_EQ(skin.LastError(), verdict);
    EXPECT_TRUE(formOf(skin, "mp3recorder")) << "the loaded skin stays";
}

TEST(SkinFile, FindObjectMatchesTheWholeNameWithCase) {
    TSkin skin{nullptr};
    ASSERT_TRUE(skin.LoadSkin(DefaultSkinPath()));
    QWidget window;
    EXPECT_EQ(skin.GetSkinForm(&window), nullptr);
    skin.ApplySkin(&window);
    skin.ApplySkinForm(&window, "mp3recorder");
    SkinForm* form = skin.GetSkinForm(&window);
    ASSERT_NE(form, nullptr);
    ASSERT_NE(form->FindObject("play"), nullptr);
    EXPECT_EQ(form->FindObject("play")->GetName(), "play");
    for (const char* near : {"Play", "PLAY", "play ", " play", "pla", "playy", "", "s_Time"})
        EXPECT_EQ(form->FindObject(near), nullptr) << '"' << near << '"';
    // Optional elements the default skin leaves out are simply absent.
    EXPECT_EQ(form->FindObject("showp"), nullptr);
    // Each form has its own names: "ok" lives only on the options form.
    EXPECT_EQ(form->FindObject("ok"), nullptr);
}

TEST(SkinFile, HostileInputGivesAMessageNotACrash) {
    QByteArray deep;
    for (int i = 0; i < 5000; ++i)
        deep += '[';
    const std::vector<QByteArray> inputs = {
        "",
        deep,
        "{\"forms\": 7}",
        "{\"forms\": [{\"name\": \"a\", \"size\": [1e300, 5], \"elements\": []}]}",
        "{\"forms\": [{\"name\": \"a\", \"size\": [10, 10], \"elements\": [{\"name\": \"b\", "
        "\"kind\": \"slider\", "
        "\"rect\": [0, 0, 10, 10], \"range\": [5, 5]}]}]}",
        "{\"images\": {\"x\": \"!!!\"}, \"forms\": []}",
        "{\"images\": {\"x\": \"iVBORw0KGgoAAAANSUhEUgAAAAEAAAAB\"}, \"forms\": []}",
        "{\"forms\": [{\"name\": \"a\", \"size\": [10, 10], \"shape\": {\"type\": \"polygon\", "
        "\"points\": [[1, 1]]}, "
        "\"elements\": []}]}",
        "{\"forms\": [{\"name\": \"a\", \"size\": [10, 10], \"elements\": [{\"name\": \"b\", "
        "\"kind\": \"text\", "
        "\"rect\": [0, 0, 10, 10], \"font\": {\"size\": 100000}}]}]}",
    };
    for (const QByteArray& input : inputs) {
        const SkinParseResult r = ParseSkin(input, "x.skn");
        EXPECT_FALSE(r.ok()) << input.left(80).toStdString();
        EXPECT_TRUE(r.error.startsWith("x.skn: ")) << r.error.toStdString();
    }
    // A valid skin need not be the recorder's: the parser alone accepts any forms.
    const SkinParseResult tiny = ParseSkin(
        "{\"forms\": [{\"name\": \"a\", \"size\": [10, 10], \"elements\": []}]}", "x.skn");
    EXPECT_TRUE(tiny.ok()) << tiny.error.toStdString();
}
