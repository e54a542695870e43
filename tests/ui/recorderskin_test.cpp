// The recorder's skin: the shipped file has every form and element the windows use, each kind of
// broken or unsuitable file is refused with a message naming the element and keeps a skin in
// use, and the built-in skin keeps the program usable when no file can be used.
#include "recorderskin.h"
#include "skinparser.h"
#include "skintestfiles.h"
#include "tfm_list.h"
#include "tskin.h"

#include <QJsonArray>
#include <QRect>
#include <QWidget>
#include <gtest/gtest.h>

namespace {

QRect ToQRect(const SkinRect& r) {
    return QRect(r.left, r.top, r.right - r.left, r.bottom - r.top);
}

// Every required element of every form is there with its kind, in the applied form of a window.
void ExpectRecorderElements(TSkin& skin) {
    for (const char* formName : {"mp3recorder", "recorderlist", "options"}) {
        QWidget window;
        skin.ApplySkinForm(&window, formName);
        SkinForm* form = skin.GetSkinForm(&window);
        ASSERT_NE(form, nullptr) << formName;
        for (const auto& r : recorderskin::RequiredElements()) {
            if (QString(r.form) != formName || r.optional)
                continue;
            SkinObject* o = form->FindObject(r.name);
            ASSERT_NE(o, nullptr) << formName << " " << r.name;
            EXPECT_EQ(o->GetName(), r.name);
        }
    }
}

} // namespace

TEST(SkinFile, DefaultSkinHoldsTheThreeFormsAndEveryElementInItsPlace) {
    const SkinParseResult result = LoadSkinFile(DefaultSkinPath());
    ASSERT_TRUE(result.ok()) << result.error.toStdString();
    const SkinModel& m = *result.model;
    EXPECT_EQ(recorderskin::CheckRecorderSkin(m, "mp3enc.skn"), "");

    const SkinFormModel* main = m.Form("mp3recorder");
    const SkinFormModel* list = m.Form("recorderlist");
    const SkinFormModel* options = m.Form("options");
    ASSERT_TRUE(main && list && options);
    EXPECT_EQ(QSize(main->width, main->height), QSize(453, 260));
    EXPECT_EQ(QSize(list->width, list->height), QSize(515, 194));
    EXPECT_EQ(QSize(options->width, options->height), QSize(428, 377));

    EXPECT_EQ(main->Find("s_time")->text, "00:00:00");
    EXPECT_EQ(main->Find("play_bar")->maximum, 9820);
    EXPECT_EQ(main->Find("spb")->maximum, 65534);
    // The list window hangs over the main window's bottom strip: nothing may lie under it.
    for (const SkinElementModel& e : main->elements)
        EXPECT_LE(e.rect.bottom, main->height - Tfm_list::kBottomOverlap) << e.name.toStdString();
    // The program sets pb2's right edge to left + 320 at the end of a file.
    const SkinElementModel* pb1 = main->Find("pb1");
    const SkinElementModel* pb2 = main->Find("pb2");
    EXPECT_EQ(pb2->rect.right - pb2->rect.left, 320);
    EXPECT_TRUE(ToQRect(pb1->rect).contains(ToQRect(pb2->rect)));
    EXPECT_LT(pb1 - main->elements.data(), pb2 - main->elements.data()) << "pb1 lies behind pb2";
    EXPECT_EQ(main->Find("spb1")->rect, main->Find("spb2")->rect);
    EXPECT_NE(main->Find("spb1")->visible, main->Find("spb2")->visible);

    // The areas where the program puts its own widgets carry no buttons or sliders.
    const auto clickablesIn = [](const SkinFormModel& form, const QRect& area) {
        QStringList names;
        for (const SkinElementModel& e : form.elements)
            if ((e.kind == SkinKind::Button || e.kind == SkinKind::Slider) &&
                ToQRect(e.rect).intersects(area))
                names << e.name;
        return names.join(',');
    };
    EXPECT_EQ(clickablesIn(*main, QRect(84, 164, 305, 3)), "");
    EXPECT_EQ(clickablesIn(*main, QRect(84, 174, 304, 3)), "");
    EXPECT_EQ(clickablesIn(*list, QRect(25, 43, 469, 138)), "");
    EXPECT_EQ(clickablesIn(*options, QRect(0, 32, 428, 305)), "");
}

TEST(SkinFile, EachKindOfBrokenFileNamesTheElementAndTheProblemAndKeepsASkin) {
    QTemporaryDir dir;
    const auto kindOf = [](const char* kind) {
        return [kind](QJsonObject& e) { e["kind"] = kind; };
    };
    struct Case {
        const char* what;
        QByteArray content;
        QString message;
    };
    const std::vector<Case> cases = {
        {"malformed JSON", "{\"forms\": [\n  {\"name\": \"mp3recorder\",, }]}",
         "mp3enc.skn: malformed JSON at line 2, column 27: unterminated object"},
        {"not an object", "[1, 2]", "mp3enc.skn: the file must hold one JSON object"},
        {"unknown kind", WithElement("mp3recorder", "play_bar", kindOf("slidr")),
         "mp3enc.skn: form \"mp3recorder\", element \"play_bar\": unknown kind \"slidr\""},
        {"duplicate name", WithRoot([](QJsonObject& root) {
             QJsonArray forms = root["forms"].toArray();
             QJsonObject main = forms[0].toObject();
             QJsonArray elements = main["elements"].toArray();
             elements.append(QJsonObject{
                 {"name", "play"}, {"kind", "button"}, {"rect", QJsonArray{0, 0, 5, 5}}});
             main["elements"] = elements;
             forms[0] = main;
             root["forms"] = forms;
         }),
         "mp3enc.skn: form \"mp3recorder\", element \"play\": the name is used twice in this form"},
        {"missing image",
         WithElement("mp3recorder", "logo", [](QJsonObject& e) { e["image"] = "nope"; }),
         "mp3enc.skn: form \"mp3recorder\", element \"logo\": refers to the missing image "
         "\"nope\""},
        {"missing fill image",
         WithElement("recorderlist", "frame",
                     [](QJsonObject& e) {
                         e["fill"] = QJsonObject{{"image", "wood"}};
                     }),
         "mp3enc.skn: form \"recorderlist\", element \"frame\": fill refers to the missing image "
         "\"wood\""},
        {"rect beyond the form",
         WithElement("mp3recorder", "stop",
                     [](QJsonObject& e) {
                         e["rect"] = QJsonArray{440, 198, 36, 36};
                     }),
         "mp3enc.skn: form \"mp3recorder\", element \"stop\": rect [440, 198, 36, 36] reaches "
         "beyond the "
         "453x260 form"},
        {"rect of three numbers",
         WithElement("options", "ok",
                     [](QJsonObject& e) {
                         e["rect"] = QJsonArray{1, 2, 3};
                     }),
         "mp3enc.skn: form \"options\", element \"ok\": rect must be [left, top, width, height]"},
        {"negative width",
         WithElement("options", "ok",
                     [](QJsonObject& e) {
                         e["rect"] = QJsonArray{10, 10, -3, 5};
                     }),
         "mp3enc.skn: form \"options\", element \"ok\": rect width must lie between 0 and 4096"},
        {"unknown icon",
         WithElement("mp3recorder", "web", [](QJsonObject& e) { e["icon"] = "earth"; }),
         "mp3enc.skn: form \"mp3recorder\", element \"web\": unknown icon \"earth\""},
        {"bad colour",
         WithElement("mp3recorder", "s_time", [](QJsonObject& e) { e["color"] = "#12"; }),
         "mp3enc.skn: form \"mp3recorder\", element \"s_time\": color: \"#12\" is not a colour "
         "(use #rrggbb, "
         "#aarrggbb or a colour name)"},
        {"required element missing",
         WithElement("mp3recorder", "play_bar", [](QJsonObject& e) { e["name"] = "playbar"; }),
         "mp3enc.skn: form \"mp3recorder\", element \"play_bar\": missing, the program needs it"},
        {"required slider of another kind", WithElement("mp3recorder", "spb", kindOf("image")),
         "mp3enc.skn: form \"mp3recorder\", element \"spb\": must be a slider, not a image"},
        {"play bar range",
         WithElement("mp3recorder", "play_bar",
                     [](QJsonObject& e) {
                         e["range"] = QJsonArray{0, 100};
                     }),
         "mp3enc.skn: form \"mp3recorder\", element \"play_bar\": the range must be [0, 9820], not "
         "[0, 100]"},
        {"form missing", WithRoot([](QJsonObject& root) {
             QJsonArray forms = root["forms"].toArray();
             forms.removeAt(2);
             root["forms"] = forms;
         }),
         "mp3enc.skn: the form \"options\" is missing"},
    };

    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        // From the built-in skin...
        TSkin fresh{recorderskin::FallbackSkin()};
        EXPECT_FALSE(fresh.LoadSkin(WriteSkin(dir, c.content), recorderskin::CheckRecorderSkin));
        EXPECT_EQ(fresh.LastError(), c.message);
        ExpectRecorderElements(fresh);
        // ...and after a good skin, which stays.
        TSkin loaded{recorderskin::FallbackSkin()};
        ASSERT_TRUE(loaded.LoadSkin(DefaultSkinPath(), recorderskin::CheckRecorderSkin))
            << loaded.LastError().toStdString();
        EXPECT_FALSE(loaded.LoadSkin(WriteSkin(dir, c.content), recorderskin::CheckRecorderSkin));
        EXPECT_EQ(loaded.LastError(), c.message);
        QWidget window;
        loaded.ApplySkinForm(&window, "mp3recorder");
        EXPECT_NE(loaded.GetSkinForm(&window)->FindObject("time_ghost"), nullptr)
            << "the default skin, not the fallback, is still in use";
    }

    TSkin missing{recorderskin::FallbackSkin()};
    EXPECT_FALSE(
        missing.LoadSkin(dir.filePath("nothere/mp3enc.skn"), recorderskin::CheckRecorderSkin));
    EXPECT_TRUE(missing.LastError().startsWith("mp3enc.skn: the skin file does not exist"))
        << missing.LastError().toStdString();
    ExpectRecorderElements(missing);
}

TEST(SkinFile, BuiltInFallbackMeetsTheProgramsNeeds) {
    EXPECT_EQ(recorderskin::CheckRecorderSkin(*recorderskin::FallbackSkin(), "built-in"), "");
    TSkin skin{recorderskin::FallbackSkin()};
    EXPECT_EQ(skin.LastError(), "");
    ExpectRecorderElements(skin);
}
