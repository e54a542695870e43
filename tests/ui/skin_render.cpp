// Renders the default skin's forms offscreen into PNG files, the way the program shows them:
//   skin_render <skin file> <output folder>
// Writes main-idle.png, main-recording.png, main-playing.png, list.png and options.png.
#include "recorderskin.h"
#include "tampbar2.h"
#include "tskin.h"

#include <QApplication>
#include <QDir>
#include <QHeaderView>
#include <QPixmap>
#include <QTreeWidget>
#include <QWidget>
#include <cstdio>

namespace {

void Show(SkinForm* form, const char* name, bool visible, const QString& text = QString()) {
    if (SkinObject* o = form->FindObject(QString::fromLatin1(name))) {
        o->SetVisible(visible);
        if (!text.isNull())
            o->SetText(text);
        o->Redraw();
    }
}

bool Save(QWidget& window, const QString& path) {
    window.show();
    QApplication::processEvents();
    const bool ok = window.grab().save(path);
    std::printf("%s %s\n", ok ? "wrote" : "FAILED", qPrintable(path));
    return ok;
}

TAmpBar2* Meter(QWidget* parent, int x, int y, int w, int value, int peak) {
    auto* m = new TAmpBar2(parent);
    m->setGeometry(x, y, w, 3);
    m->SetValue(peak);
    m->SetValue(value);
    return m;
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: skin_render <skin file> <output folder>\n");
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[2]);
    QDir().mkpath(out);
    TSkin skin{recorderskin::FallbackSkin()};
    // A skin that does not load is reported, and the built-in one is rendered instead.
    bool ok = skin.LoadSkin(QString::fromLocal8Bit(argv[1]), recorderskin::CheckRecorderSkin);
    if (!ok)
        std::fprintf(stderr, "%s\n", qPrintable(skin.LastError()));

    QWidget main;
    skin.ApplySkin(&main);
    skin.ApplySkinForm(&main, QStringLiteral("mp3recorder"));
    SkinForm* form = skin.GetSkinForm(&main);
    TAmpBar2* left = Meter(&main, 84, 164, 305, 21000, 26000);
    TAmpBar2* right = Meter(&main, 84, 174, 304, 17500, 23000);

    // Idle, as start-up leaves it.
    for (const char* name :
         {"s_time", "s_sizeson", "s_filename", "s_mono", "pb1", "pb2", "play_bar"})
        Show(form, name, false);
    left->hide();
    right->hide();
    ok &= Save(main, out + QStringLiteral("/main-idle.png"));

    // Recording.
    Show(form, "s_time", true, QStringLiteral("00:12:47"));
    Show(form, "s_sizeson", true, QStringLiteral("11990 KB"));
    Show(form, "s_filename", true, QStringLiteral("08-12--14;31;05.mp3"));
    Show(form, "s_mono", true, QStringLiteral("Stereo 128K 44100HZ"));
    left->show();
    right->show();
    ok &= Save(main, out + QStringLiteral("/main-recording.png"));

    // Playing, a third of the way in, muted.
    left->hide();
    right->hide();
    Show(form, "s_time", true, QStringLiteral("00:04:16"));
    Show(form, "pb1", true);
    Show(form, "pb2", true);
    Show(form, "play_bar", true);
    const int position = 3300;
    SkinObject* pb2 = form->FindObject(QStringLiteral("pb2"));
    SkinRect r = pb2->GetRect();
    r.right = r.left + (position * 326 + 5000) / 10000;
    pb2->SetRect(r);
    pb2->Redraw();
    form->FindObject(QStringLiteral("play_bar"))->SetPosition(position);
    Show(form, "spb1", true);
    Show(form, "spb2", false);
    form->FindObject(QStringLiteral("spb"))->SetPosition(40000);
    ok &= Save(main, out + QStringLiteral("/main-playing.png"));
    main.hide();

    // The list window with a list view where the program puts it.
    QWidget list;
    skin.ApplySkin(&list);
    skin.ApplySkinForm(&list, QStringLiteral("recorderlist"));
    auto* view = new QTreeWidget(&list);
    view->setGeometry(25, 43, 469, 138);
    view->setHeaderLabels(
        {QStringLiteral("File"), QStringLiteral("Length"), QStringLiteral("Created")});
    view->setRootIsDecorated(false);
    view->setStyleSheet(QStringLiteral(
        "QTreeWidget{background:#0f131a;color:#dbe2ec;border:none;font:12px 'DejaVu Sans'}"
        "QHeaderView::section{background:#1a2029;color:#8a97ad;border:none;padding:3px}"
        "QTreeWidget::item:selected{background:#2380bd}"));
    for (const auto& row : {QStringList{"08-12--14;31;05.mp3", "00:12:47", "08.12.2025 14:31"},
                            QStringList{"08-12--09;02;44.ogg", "00:03:10", "08.12.2025 09:02"},
                            QStringList{"interview.wav", "01:05:33", "07.12.2025 18:20"}})
        new QTreeWidgetItem(view, row);
    view->header()->resizeSection(0, 230);
    view->setCurrentItem(view->topLevelItem(0));
    ok &= Save(list, out + QStringLiteral("/list.png"));

    QWidget options;
    skin.ApplySkin(&options);
    skin.ApplySkinForm(&options, QStringLiteral("options"));
    ok &= Save(options, out + QStringLiteral("/options.png"));
    return ok ? 0 : 1;
}
