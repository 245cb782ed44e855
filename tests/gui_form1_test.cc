// Window tests of the main window and the pattern editor, driven by real mouse and key events.
#include <QtTest>
#include <QtWidgets>
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <memory>
#include <random>
#include <tuple>

#include "dither/pattern_set.h"
#include "engine/model.h"
#include "engine/pattern_editor.h"
#include "ui/form1.h"
#include "ui/form2.h"
#include "ui/surface_view.h"

namespace tvcpix {
namespace {

const QColor kGrey(64, 64, 64), kBlack(0, 0, 0), kBlue(0, 0, 255), kWhite(255, 255, 255),
    kRed(255, 0, 0), kDarkRed(147, 0, 0), kMidRed(201, 0, 0);  // M(k) of dark red with red
constexpr int kBlueBlue = PatternIndex(8, 8), kDarkRedRed = PatternIndex(2, 9),
              kWhiteWhite = PatternIndex(14, 14);

QColor ToQColor(ColorValue c) { return QColor(RedOf(c), GreenOf(c), BlueOf(c)); }
QColor BackColor(const QWidget* w) { return w->palette().color(QPalette::Window); }
// The colour a widget shows at its centre, as painted.
QColor Seen(QWidget* w) { return w->grab().toImage().pixelColor(w->width() / 2, w->height() / 2); }
QImage Rgb888(const QImage& image) { return image.convertToFormat(QImage::Format_RGB888); }
QImage Shot(QWidget* w) { return Rgb888(w->grab().toImage()); }
QByteArray ReadAll(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
bool WriteAll(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// Upright bands of black, blue, mid red and white; at 512 x 480 edges fall on preview cells.
QImage Bands(int w = 512, int h = 480) {
  QImage image(w, h, QImage::Format_RGB888);
  const QColor colours[] = {kBlack, kBlue, kMidRed, kWhite};
  for (int b = 0; b < 4; ++b) QPainter(&image).fillRect(b * w / 4, 0, w / 4, h, colours[b]);
  return image;
}

// The magnifier as described: the 5 x 5 pixels round (x, y) at 24 x 24, white outside, framed.
QImage Magnified(const Surface& s, long long x, long long y, QColor inner, QColor outer) {
  QImage z(120, 120, QImage::Format_RGB888);
  for (int v = 0; v < 120; ++v)
    for (int u = 0; u < 120; ++u) {
      const long long sx = x - 2 + u / 24, sy = y - 2 + v / 24;
      const bool in = sx >= 0 && sy >= 0 && sx < s.width() && sy < s.height();
      z.setPixelColor(u, v, in ? ToQColor(PixelAt(s, int(sx), int(sy))) : kWhite);
    }
  for (const auto& [a, b, c] : {std::tuple(48, 70, inner), std::tuple(47, 71, outer)})
    for (int t = a; t <= b; ++t)
      for (const QPoint q : {QPoint(t, a), QPoint(t, b), QPoint(a, t), QPoint(b, t)})
        z.setPixelColor(q, c);
  return z;
}

// w as "name [parent] x,y wxh 'caption' state" (parent unless Form1); as in its row, -1 is a
// free width (w lies inside its parent) and -1x-1 anywhere inside it.
QString Describe(const QWidget* w, const QString& row) {
  QRect g = w->geometry();
  if (row.contains(" -1x") && w->parentWidget()->rect().contains(g))
    g = row.contains(" -1x-1 ") ? QRect(0, 0, -1, -1) : QRect(g.x(), g.y(), -1, g.height());
  QString caption = w->property(w->inherits("QGroupBox") ? "title" : "text").toString(), state;
  if (auto* s = qobject_cast<const QScrollBar*>(w))
    caption = QString::asprintf("%d in %d..%d by %d/%d", s->value(), s->minimum(), s->maximum(),
                                s->singleStep(), s->pageStep());
  if (!w->isEnabled()) state += " disabled";
  if (!w->isVisible()) state += " hidden";
  if (w->property("checkable").toBool())
    state += w->property("checked").toBool() ? " checked" : " unchecked";
  const QString p = w->parentWidget()->objectName(), parent = p == "Form1" ? "" : " " + p;
  return QString("%1%2 %3,%4 %5x%6 '%7'%8")
      .arg(w->objectName(), parent)
      .arg(g.x())
      .arg(g.y())
      .arg(g.width())
      .arg(g.height())
      .arg(caption, state);
}

// The expected controls, each as Describe writes it.
QStringList LayoutTable() {
  QStringList t = {"Pic5 8,8 512x480 ''",
                   "Pic2 528,8 512x480 ''",
                   "TVC2 8,8 512x240 ''",
                   "TVC4 8,248 256x240 ''",
                   "TVC16 392,248 128x240 ''",
                   "Pic1 392,688 96x64 '' hidden",
                   "PicZ 608,520 120x120 '' hidden",
                   "PicZZ 736,520 120x120 '' hidden",
                   "File2 8,496 137x201 ''",
                   "Command5 8,704 137x25 'refresh'",
                   "Command6 448,528 73x33 'Set'",
                   "Command3 528,528 73x33 'Save'",
                   "Command7 528,568 73x33 'Save As'",
                   "Frame3 1048,8 145x289 'Color Palette'",
                   "Frame4 Frame3 80,32 57x81 '' disabled",
                   "Frame5 Frame3 80,152 57x49 '' disabled",
                   "Label4 Frame3 80,256 57x17 ''",
                   "Frame2 1048,304 145x81 'TVC MODE'",
                   "Frame1 1048,392 145x337 'DITHER MODE'",
                   "Label5 168,496 65x17 'Colors Used:'",
                   "Label6 240,496 73x17 '0'",
                   "Label8 528,496 65x17 'Colors Used:'",
                   "Label7 600,496 73x17 '0'",
                   "Label13 528,608 73x17 'bmp, bin, tim'",
                   "Shape1 864,504 33x33 ''",
                   "Shape2 912,504 17x17 ''",
                   "Shape3 928,504 17x17 ''",
                   "Shape4 912,520 17x17 ''",
                   "Shape5 928,520 17x17 ''",
                   "Label9 912,544 33x17 '0'",
                   "Command1 0,0 -1x-1 'Command1' hidden",
                   "Check2 0,0 -1x-1 'Auto Palette' hidden unchecked",
                   "Check3 0,0 -1x-1 'Resize ' hidden checked",
                   "Label10 0,0 -1x-1 '0' hidden",
                   "Label11 0,0 -1x-1 'msec' hidden",
                   "Label12 0,0 -1x-1 'Label12' hidden",
                   "Pic9 Form2 0,0 312x312 ''",
                   "Command6 Form2 248,328 73x33 'All On'",
                   "Command7 Form2 248,368 73x33 'All Off'",
                   "Label6 Form2 168,368 33x17 'used :'",
                   "Label7 Form2 200,368 33x17 '0'"};
  const char* tones[] = {"Brightness", "Gamma", "Color", "Contrast"};
  for (int i = 0; i < 4; ++i)
    t << QString::asprintf("Frame%d 160,%d 281x41 '%s'", 6 + i, 520 + 40 * i, tones[i])
      << QString::asprintf("HScroll%d Frame%d 8,16 209x17 '50 in 0..100 by 1/10'", i + 1, 6 + i)
      << QString::asprintf("Text%d Frame%d 232,16 33x19 '50' disabled", i + 1, 6 + i);
  for (int r = 1; r <= 3; ++r)  // 16, 4 and 2 swatches in frames 3, 4 and 5
    for (int i = 0; i < (r == 1 ? 16 : 8 - 2 * r); ++i)
      t << QString::asprintf("Label%d(%d) Frame%d %d,%d 57x17 ''%s", r, i, r + 2, r == 1 ? 8 : 0,
                             (r == 1 ? 16 : 8) + 16 * i, r == 1 ? "" : " disabled");
  const char* modes[] = {"Graphics 2", "Graphics 4", "Graphics 16"};
  for (int i = 0; i < 3; ++i)
    t << QString::asprintf("Option2(%d) Frame2 8,%d 81x17 '%s' %s", i, 24 + 16 * i, modes[i],
                           i == 2 ? "checked" : "unchecked");
  const QString methods =
      "Atkinson,Floyd,Treshold,Treshold+Noise,Halftone 2x2,Halftone 3x3,"
      "Bayer 2x2,Bayer 4x4,Bayer 8x8,News 4x4,Sierra,Burkles,Stucky,Jarvis,"
      "Sierra Lite,Sierra2 Row,Pattern TVC";
  for (int i = 1; i <= 17; ++i)
    t << QString("Option1(%1) Frame1 16,%2 -1x17 '%3' %4")
             .arg(i)
             .arg(i <= 16 ? 8 + 16 * i : 288)
             .arg(methods.section(',', i - 1, i - 1))
             .arg(i == 17 ? "checked" : "unchecked");
  return t;
}

}  // namespace

class WindowTest : public QObject {
  Q_OBJECT

 private:
  template <typename T = QWidget>
  T* Find(const QString& name) {
    T* w = form_->findChild<T*>(name);
    if (w == nullptr) w = editor_->findChild<T*>(name);
    if (w == nullptr) qFatal("no control %s", qPrintable(name));
    return w;
  }
  QWidget* InEditor(const char* name) { return editor_->findChild<QWidget*>(name); }
  QString Text(const QString& name) { return Find<QLabel>(name)->text(); }
  QString EditorCount() { return qobject_cast<QLabel*>(InEditor("Label7"))->text(); }
  void Click(QWidget* w, Qt::MouseButton button = Qt::LeftButton, QPoint at = QPoint()) {
    QTest::mouseClick(w, button, Qt::NoModifier, at.isNull() ? w->rect().center() : at);
  }
  void Click(const QString& name) { Click(Find(name), Qt::LeftButton, QPoint(6, 8)); }
  void ClickFile(const QString& name) {
    auto* list = Find<QListWidget>("File2");
    const QList<QListWidgetItem*> items = list->findItems(name, Qt::MatchExactly);
    QCOMPARE(items.size(), 1);
    list->scrollToItem(items.front());
    Click(list->viewport(), Qt::LeftButton, list->visualItemRect(items.front()).center());
  }
  void ClickSwatch(Qt::MouseButton button, int k, int dx = 6, int dy = 6) {
    int i = 0, j = 0;
    PatternPair(k, &i, &j);
    Click(Find("Pic9"), button, QPoint(SwatchLeft(j) + dx, SwatchTop(i) + dy));
  }
  // A pointer movement over the result view; sent directly so that any position can be used.
  void Move(double x, double y, Qt::MouseButtons held = Qt::NoButton) {
    QWidget* view = Find("Pic2");
    QMouseEvent e(QEvent::MouseMove, QPointF(x, y), view->mapToGlobal(QPointF(x, y)), Qt::NoButton,
                  held, Qt::NoModifier);
    QApplication::sendEvent(view, &e);
  }
  QStringList Listed() {
    QStringList names;
    for (auto* item : Find<QListWidget>("File2")->findItems("*", Qt::MatchWildcard))
      names << item->text();
    return names;
  }
  const PatternFlags& Flags() { return model_->pattern_flags(); }
  int Excluded() { return int(std::count(Flags().excluded.begin(), Flags().excluded.end(), 1)); }
  // The editor shows the model's picture; swatches M(k), white-outlined when switched off.
  bool LooksRight() {
    const QImage shown = Shot(Find("Pic9"));
    for (int k = 0, i = 0, j = 0; k < kPatternCount; ++k) {
      PatternPair(k, &i, &j);
      const QColor c = ToQColor(ColorFromEntry(MatchColor(k)));
      const QPoint corner(SwatchLeft(j), SwatchTop(i));
      if (shown.pixelColor(corner + QPoint(6, 6)) != c ||
          shown.pixelColor(corner + QPoint(12, 5)) != (Flags().excluded[k] ? kWhite : c))
        return false;
    }
    return shown == Rgb888(Find<PictureView>("Pic9")->ToImage());
  }
  QString Slider(int n) {  // bar n's value, the model's value and the text box
    return QString("%1 %2 %3")
        .arg(Find<QScrollBar>(QString("HScroll%1").arg(n))->value())
        .arg(model_->slider(n))
        .arg(Find<QLineEdit>(QString("Text%1").arg(n))->text());
  }
  static QString Thrice(int v) { return QString("%1 %1 %1").arg(v); }

  QTemporaryDir tmp_;
  QString pictures_;  // the folder the list shows
  std::unique_ptr<Model> model_;
  std::unique_ptr<Form2> editor_;
  std::unique_ptr<Form1> form_;
  QStringList messages_, questions_, save_paths_, starts_;  // starts_: where the dialog opened
  bool answer_ = false;

 private slots:
  void initTestCase() {
    pictures_ = tmp_.filePath("pictures");
    const QDir dir(pictures_);
    QVERIFY(QDir().mkpath(pictures_) && dir.mkdir("folder.bmp"));
    QVERIFY(Bands(64, 48).save(dir.filePath("b_small.bmp")));
    QVERIFY(Bands().save(dir.filePath("a_bands.BMP"), "BMP"));
    for (const char* f : {"broken.jpg", "notes.txt"}) QVERIFY(WriteAll(dir.filePath(f), "text"));
    QVERIFY(QFile::link("/dev/zero", dir.filePath("zero.bmp")));
    QVERIFY(WriteAll(dir.filePath("short.tim"), QByteArray(16399, '\0')));
  }

  void init() {
    form_.reset();  // the windows go before the model they show
    editor_.reset();
    model_ = std::make_unique<Model>();
    editor_ = std::make_unique<Form2>(model_.get());
    form_ = std::make_unique<Form1>(model_.get(), editor_.get());
    for (QStringList* list : {&messages_, &questions_, &save_paths_, &starts_}) list->clear();
    answer_ = false;
    form_->show_message = [this](QMessageBox::Icon, const QString& text) { messages_ << text; };
    form_->ask_yes_no = [this](const QString& text) { return (questions_ << text, answer_); };
    form_->choose_save_path = [this](const QString& start) {
      return (starts_ << start, save_paths_.isEmpty() ? QString() : save_paths_.takeFirst());
    };
    form_->SetFileListFolder(pictures_);
    form_->show();
    editor_->show();
    QVERIFY(QTest::qWaitForWindowExposed(form_.get()));
    QVERIFY(QTest::qWaitForWindowExposed(editor_.get()));
  }

  void LayoutAndStart() {
    QVERIFY(form_->windowTitle() == "tvcpix 1.03" && editor_->windowTitle() == "TVC Pattern");
    QVERIFY(form_->size() == QSize(1197, 730) && form_->minimumSize() == form_->maximumSize() &&
            editor_->size() == QSize(333, 414));
    QWidget* const w[] = {form_.get(), editor_.get()};
    for (const QString& row : LayoutTable()) {
      const auto found = w[row.contains(" Form2 ")]->findChildren<QWidget*>(row.split(' ')[0]);
      QVERIFY2(found.size() == 1, qPrintable(row));
      QCOMPARE(Describe(found[0], row), row);
    }
    for (int i = 0; i < 16; ++i)  // the start: swatches filled, nothing converted, views grey
      QCOMPARE(BackColor(Find(QString("Label1(%1)").arg(i))), ToQColor(model_->label1(i)));
    for (const QPoint p : {QPoint(8, 8), QPoint(519, 487), QPoint(828, 208), QPoint(1039, 487)})
      QCOMPARE(form_->grab().toImage().pixelColor(p), kGrey);
    QVERIFY(BackColor(Find("Label4")) == kGrey && model_->convert_count() == 0);
  }

  void FileList() {
    QVERIFY(Listed() == QStringList({"a_bands.BMP", "b_small.bmp", "broken.jpg", "short.tim",
                                     "zero.bmp"}) &&
            QDir::currentPath() == pictures_);
    // Focus makes the list pick a current entry; that must not load it.
    auto* list = Find<QListWidget>("File2");
    form_->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(form_.get()));
    list->setFocus(Qt::TabFocusReason);
    QTest::qWait(20);
    QVERIFY(list->currentRow() == 0 && model_->convert_count() == 0);
    // A click loads from the list's folder (not the current one), resets the sliders, converts.
    QVERIFY(Bands(32, 32).save(tmp_.filePath("b_small.bmp")) && QDir::setCurrent(tmp_.path()));
    Find<QScrollBar>("HScroll1")->setValue(60);
    ClickFile("b_small.bmp");
    Model reference;
    reference.MoveSlider(1, 60);
    reference.LoadSourcePicture(Surface(model_->pic1()));
    QVERIFY(model_->pic1().width() == 64 && model_->pic2() == reference.pic2());
    QCOMPARE(model_->convert_count(), reference.convert_count());
    QVERIFY(Slider(1) == Thrice(50) && Text("Label6") == "4");
    QTest::keyClick(list, Qt::Key_Up);  // arrow keys move through the list and load like clicks
    QCOMPARE(model_->pic1().width(), 512);
    // Unloadable files: one message with name and reason, and nothing changes.
    Click("Option2(1)");
    Find<QScrollBar>("HScroll2")->setValue(70);
    auto state = [this, m = model_.get()] {  // all a load would change
      return std::tuple(m->pic1(), m->pic2(), m->convert_count(), m->mode(), Slider(2),
                        Shot(Find("Pic5")), Text("Label6"));
    };
    const auto before = state();
    for (const auto& [file, reason] : {std::pair("broken.jpg", "not a picture"),
                                       {"zero.bmp", "not a regular file"},
                                       {"short.tim", "16399 bytes"}}) {
      ClickFile(file);
      const QString text = messages_.join("|");
      messages_.clear();
      QVERIFY2(text.startsWith(QDir(pictures_).filePath(file) + ": ") && text.contains(reason) &&
                   !text.contains('|') && state() == before,
               qPrintable(text));
    }
  }

  void SlidersConvertOncePerChange() {
    // (bar, key, presses, value, conversions); Qt's horizontal bars would invert the arrows.
    for (const auto& [n, key, presses, value, changes] : {std::tuple(1, Qt::Key_Right, 1, 51, 1),
                                                          {2, Qt::Key_Left, 1, 49, 1},
                                                          {4, Qt::Key_PageDown, 2, 30, 2},
                                                          {4, Qt::Key_End, 2, 100, 1}}) {
      const auto before = model_->convert_count();
      for (int i = 0; i < presses; ++i) QTest::keyClick(Find(QString("HScroll%1").arg(n)), key);
      QCOMPARE(Slider(n), Thrice(value));
      QCOMPARE(model_->convert_count() - before, std::uint64_t(changes));
    }
    // A drag from the thumb (centred at 50): text and model follow, one conversion per change.
    auto* bar = Find<QScrollBar>("HScroll3");
    QSignalSpy moved(bar, &QScrollBar::valueChanged);
    auto before = model_->convert_count();
    QPoint p = bar->rect().center();
    QTest::mousePress(bar, Qt::LeftButton, Qt::NoModifier, p);
    for (int step = 0; step < 4; ++step) {
      QTest::mouseMove(bar, p += QPoint(12, 0));
      QCOMPARE(Slider(3), Thrice(bar->value()));
    }
    QTest::mouseRelease(bar, Qt::LeftButton, Qt::NoModifier, p);
    QVERIFY(moved.count() >= 3 && bar->value() > 55);
    QCOMPARE(model_->convert_count() - before, std::uint64_t(moved.count()));
    // A click on the track left of the thumb pages down by 10, converting once.
    const QString paged = Thrice(bar->value() - 10);
    before = model_->convert_count();
    Click(bar, Qt::LeftButton, QPoint(bar->width() / 4, bar->height() / 2));
    QVERIFY(Slider(3) == paged && model_->convert_count() == before + 1);
  }

  void SwatchesAndFramesFollowTheMode() {
    const ColorValue red = model_->label1(12), old4 = model_->label2(2), old2 = model_->label3(0);
    auto on = [this](const char* frame) { return Find(frame)->isEnabled(); };
    // A pick changes only the current colour; in "Graphics 16" neither row takes it.
    for (const char* name : {"Label1(12)", "Label2(2)", "Label3(0)"}) Click(name);
    QCOMPARE(BackColor(Find("Label4")), ToQColor(red));
    QVERIFY(model_->label2(2) == old4 && model_->label3(0) == old2 && model_->convert_count() == 0);
    // "Graphics 4" converts, then enables only the 4-colour row; a pick there converts again.
    Click("Option2(1)");
    QVERIFY(model_->convert_count() == 1 && on("Frame4") && !on("Frame5"));
    for (const char* name : {"Label2(2)", "Label3(1)"}) Click(name);
    QVERIFY(BackColor(Find("Label2(2)")) == ToQColor(red) && model_->convert_count() == 2);
    // "Graphics 2": the 2-colour row instead; colours stay shown on rows disabled again.
    Click("Option2(0)");
    QVERIFY(!on("Frame4") && on("Frame5"));
    for (const char* name : {"Label1(3)", "Label3(1)", "Option2(2)"}) Click(name);
    QVERIFY(!on("Frame4") && !on("Frame5") && BackColor(Find("Label2(2)")) == ToQColor(red));
    QCOMPARE(BackColor(Find("Label3(1)")), ToQColor(model_->label1(3)));
  }

  void SaveAndSaveAs() {
    const QDir program(tmp_.filePath("program")), out(tmp_.filePath("chosen"));
    QVERIFY(QDir().mkpath(program.path()) && QDir().mkpath(out.path()));
    Click("Command7");  // "Save As" cancelled writes nothing and shows nothing
    QVERIFY(starts_.size() == 1 && messages_.isEmpty() && questions_.isEmpty() && out.isEmpty());
    form_->set_program_folder(program.path());
    ClickFile("b_small.bmp");
    for (int twice = 0; twice < 2; ++twice) Click("Command3");  // the second replaces, unasked
    QVERIFY2(messages_.isEmpty() && questions_.isEmpty(), qPrintable(messages_.join("\n")));
    const QByteArray tim = ReadAll(program.filePath("out24.tim"));
    QVERIFY(tim.size() == 16400 && tim.mid(16) == ReadAll(program.filePath("out24.bin")));
    QCOMPARE(Rgb888(QImage(program.filePath("out24.bmp"))),
             Rgb888(Find<PictureView>("Pic2")->ToImage()));
    // The list and the current directory move to the folder; the new screen is listed.
    QCOMPARE(QDir::currentPath(), program.absolutePath());
    QCOMPARE(Listed(), QStringList({"out24.bmp", "out24.tim"}));
    // An unwritable program folder: the per-user one, made on demand, and a message saying so.
    form_->set_program_folder(tmp_.filePath("no-such-program-folder"));
    const QString fallback = QDir(tmp_.filePath("home/Pictures/tvcpix")).absolutePath();
    form_->set_fallback_folder(fallback);
    Click("Command3");
    QVERIFY(QFileInfo::exists(fallback + "/out24.tim") && QDir::currentPath() == fallback);
    QVERIFY(messages_.size() == 1 && messages_.takeFirst().contains(fallback));
    // "Save As" into a missing folder: "Error #" with errno and text, then the file's line.
    const QString lost = tmp_.filePath("no-such-folder/holiday");
    save_paths_ << lost;
    Click("Command7");
    QCOMPARE(messages_.takeFirst(), QString("Error #%1 - %2\n%3.bmp: %2 (no file was replaced)")
                                        .arg(ENOENT)
                                        .arg(std::strerror(ENOENT), lost));
    QVERIFY(starts_.last() == fallback && form_->file_list_folder() == fallback);
    // Any of the three names existing: one question, default No keeps the user's file.
    const QString base = out.filePath("holiday");
    QVERIFY(WriteAll(base + ".bin", "the user's own file"));
    for (const bool yes : {false, true}) {
      answer_ = yes;
      save_paths_ << base;
      Click("Command7");
      QVERIFY(questions_.size() == 1 && questions_.takeFirst().contains("holiday.bin"));
      QCOMPARE(ReadAll(base + ".bin") == "the user's own file", !yes);
      QCOMPARE(out.entryList(QDir::Files | QDir::Hidden).size(), yes ? 3 : 1);
    }
    QVERIFY(messages_.isEmpty() && Text("Label12") == base && QDir::currentPath() == out.path());
  }

  // Editor clicks: hits (also on a swatch's outline) and misses, left/right/middle, All On/Off.
  void EditorClicks() {
    // Gaps, below the triangle and beside it: nothing happens.
    for (const QPoint at : {QPoint(21, 11), QPoint(7, 17), QPoint(54, 117), QPoint(301, 11)})
      Click(Find("Pic9"), Qt::LeftButton, at);
    QVERIFY(Excluded() == 0 && model_->convert_count() == 0);
    const int k = PatternIndex(2, 11), p = kDarkRedRed, same = PatternIndex(6, 6);
    // Left switches, also on the outline's corner pixels; the last swatch hits too.
    ClickSwatch(Qt::LeftButton, k, 0, 0);
    QVERIFY(Excluded() == 1 && Flags().excluded[k] == 1 && LooksRight());
    ClickSwatch(Qt::LeftButton, k, 12, 12);
    ClickSwatch(Qt::LeftButton, kWhiteWhite, 12, 0);
    QVERIFY(Excluded() == 1 && EditorCount() == "0");  // stale until the next redraw
    // Right swaps A and B and toggles the mark, also for equal pairs; middle only converts.
    const PaletteEntry a = model_->pattern_set().A(p), b = model_->pattern_set().B(p);
    ClickSwatch(Qt::RightButton, p);
    ClickSwatch(Qt::RightButton, same);
    QVERIFY(model_->pattern_set().A(p) == b && model_->pattern_set().B(p) == a && LooksRight());
    QVERIFY(Flags().swapped[p] == 1 && Flags().swapped[same] == 1 && Excluded() == 1);
    ClickSwatch(Qt::RightButton, p, 0, 12);
    ClickSwatch(Qt::MiddleButton, same);
    QVERIFY(model_->pattern_set().A(p) == a && Flags().swapped[p] == 0 && Excluded() == 1);
    QCOMPARE(model_->convert_count(), 7u);  // every click converted once
    // "All Off" and "All On" after a load, which kept only the bands' four patterns on.
    ClickFile("a_bands.BMP");
    QVERIFY(EditorCount() == "4" && Excluded() == 116);
    Click(InEditor("Command7"));
    QVERIFY(EditorCount() == "0" && Excluded() == 120 && LooksRight());
    Click(InEditor("Command6"));
    QVERIFY(EditorCount() == "120" && Excluded() == 0 && LooksRight());
  }

  // Pointer moves over the result view against the plain reference, then presses on it.
  void ProbeMagnifierAndResultClicks() {
    ClickFile("a_bands.BMP");
    // (x, y, Label9, Shape1, Shape2/5, Shape3/4): fractions round down, black is no failed read;
    // outside (the int limits once overflowed the magnifier) the probe keeps what it showed.
    const QColor r = kRed, d = kDarkRed, m = kMidRed;
    const std::tuple<double, double, int, QColor, QColor, QColor> cases[] = {
        {127.9, 100, 0, kBlack, kBlack, kBlack},
        {128, 50.5, kBlueBlue, kBlue, kBlue, kBlue},
        {511.9, 479.9, kWhiteWhite, kWhite, kWhite, kWhite},
        {300, 200, kDarkRedRed, m, r, d},
        {-0.5, 10, kDarkRedRed, m, r, d},
        {2147483647.0, 2147483647.0, kDarkRedRed, m, r, d},
        {-2147483648.0, 7, kDarkRedRed, m, r, d}};
    for (const auto& [fx, fy, pattern, source, a, b] : cases) {
      Move(fx, fy, Qt::LeftButton);
      const QColor seen[] = {source, a, b, b, a};
      for (int n = 1; n <= 5; ++n) QCOMPARE(Seen(Find(QString("Shape%1").arg(n))), seen[n - 1]);
      const long long x = std::floor(fx), y = std::floor(fy);
      QVERIFY2(Text("Label9") == QString::number(pattern) &&
                   Shot(Find("PicZ")) == Magnified(model_->pic5(), x, y, kWhite, kBlack) &&
                   Shot(Find("PicZZ")) == Magnified(model_->pic2(), x, y, kBlack, kWhite),
               qPrintable(QString("at %1,%2").arg(fx).arg(fy)));
    }
    // Right swaps A and B without a mark: every cell of the band takes the other colour.
    QWidget* pic2 = Find("Pic2");
    auto press = [&](Qt::MouseButton button) { Click(pic2, button, QPoint(300, 200)); };
    const QImage before = pic2->grab().toImage();
    press(Qt::RightButton);
    QVERIFY(Flags().swapped[kDarkRedRed] == 0 && Seen(Find("Shape2")) == kDarkRed);
    const QImage swapped = pic2->grab().toImage();
    for (int y = 0; y < 480; y += 3)
      for (int x = 256; x < 384; x += 5)
        QCOMPARE(swapped.pixelColor(x, y), before.pixelColor(x, y) == kRed ? kDarkRed : kRed);
    press(Qt::RightButton);
    QCOMPARE(pic2->grab().toImage(), before);
    // Left switches off, middle on; the editor recounts, band and probe skip a switched-off one.
    for (const auto button : {Qt::LeftButton, Qt::MiddleButton, Qt::LeftButton}) press(button);
    QVERIFY(Flags().excluded[kDarkRedRed] == 1 && EditorCount() == "3" && LooksRight());
    QCOMPARE(pic2->grab().toImage().pixelColor(300, 200), kBlack);
    Move(300, 201);
    QCOMPARE(Text("Label9"), QString("0"));
  }

  // Random real events (TVCPIX_GUI_SESSION_EVENTS, default 150); controls follow the model.
  void RandomSession() {
    const int events = std::max(150, qEnvironmentVariableIntValue("TVCPIX_GUI_SESSION_EVENTS"));
    std::mt19937 rng(7);
    auto pick = [&rng](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    form_->set_program_folder(tmp_.path());
    for (int e = 0; e < events; ++e) {
      const int roll = pick(10), row = pick(3), swatches[] = {16, 4, 2};
      if (roll == 0) Click(QString("Option1(%1)").arg(1 + pick(17)));
      if (roll == 1) Click(QString("Option2(%1)").arg(pick(3)));
      if (roll == 2) Click(QString("Label%1(%2)").arg(row + 1).arg(pick(swatches[row])));
      auto* bar = Find<QScrollBar>(QString("HScroll%1").arg(1 + pick(4)));
      if (roll == 3) QTest::keyClick(bar, Qt::Key(Qt::Key_Left + pick(6)));  // arrows, pages
      if (roll == 3) Click(bar, Qt::LeftButton, QPoint(1 + pick(bar->width() - 2), 8));
      if (roll == 4) ClickFile(Listed().value(pick(static_cast<int>(Listed().size()))));
      if (roll == 5 || roll == 6) Move(pick(3000) - 1500, pick(1500) - 500);
      const auto button = Qt::MouseButton(1 << pick(3));  // left, right or middle
      if (roll == 6) Click(Find("Pic2"), button, QPoint(pick(512), pick(480)));
      if (roll == 7) Click(Find("Pic9"), button, QPoint(pick(312), pick(312)));
      if (roll == 8) Click(InEditor(pick(2) ? "Command6" : "Command7"));
      if (roll == 9) Click(QString("Command%1").arg(QString("3567")[pick(4)]));
      const Model& m = *model_;
      QStringList shown{Text("Label6"), Text("Label7"), Text("Label9"), EditorCount()}, held;
      for (const std::string& c : {m.source_colors_caption(), m.result_colors_caption(),
                                   m.probe_caption(), m.patterns_used_caption()})
        held << QString::fromStdString(c);
      for (int n = 1; n <= 4; ++n) shown << Slider(n), held << Thrice(m.slider(n));
      QVERIFY2(shown == held, qPrintable(QString("event %1: %2").arg(e).arg(shown.join(' '))));
      QVERIFY(Find<QRadioButton>(QString("Option2(%1)").arg(int(m.mode())))->isChecked() &&
              Find<QRadioButton>(QString("Option1(%1)").arg(int(m.method())))->isChecked());
      QCOMPARE(Shot(Find("Pic2")), Rgb888(Find<PictureView>("Pic2")->ToImage()));
    }
    QVERIFY(model_->convert_count() > 50);
  }

  // Closing the main window ends the program, even with the editor open, which closes too.
  void ClosingTheMainWindowQuits() {
    QTimer::singleShot(0, form_.get(), [this] { form_->close(); });
    QTimer::singleShot(5000, qApp, [] { QCoreApplication::exit(7); });
    QCOMPARE(QCoreApplication::exec(), 0);
    QVERIFY(!editor_->isVisible());
  }
};

}  // namespace tvcpix

QTEST_MAIN(tvcpix::WindowTest)
#include "gui_form1_test.moc"
