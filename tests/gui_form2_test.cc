// Window tests of the pattern editor "TVC Pattern", driven by real mouse events on its controls.
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>
#include <memory>
#include <vector>

#include "adjust/pattern_editor.h"
#include "adjust/pattern_set.h"
#include "core/model.h"
#include "ui/form2.h"

namespace tvcpix {
namespace {

constexpr ColorValue kWhite = MakeColor(255, 255, 255);
constexpr ColorValue kBlack = MakeColor(0, 0, 0);
constexpr ColorValue kBlue = MakeColor(0, 0, 255);
constexpr int kBlueBlue = PatternIndex(8, 8);  // pattern of chart colour 8 with itself
constexpr int kWhiteWhite = PatternIndex(14, 14);

// Reads one pixel of a picture of some kind as a ColorValue.
using PixelSource = std::function<ColorValue(int x, int y)>;

PixelSource FromSurface(const Surface& s) {
  return [&s](int x, int y) { return PixelAt(s, x, y); };
}
PixelSource FromImage(const QImage& image) {
  return [image](int x, int y) {
    const QRgb p = image.pixel(x, y);
    return MakeColor(qRed(p), qGreen(p), qBlue(p));
  };
}

ColorValue MatchValue(int k) { return ColorFromEntry(MatchColor(k)); }

struct Corner {
  int x, y;
};
Corner SwatchCorner(int k) {
  int i = 0, j = 0;
  PatternPair(k, &i, &j);
  return {SwatchLeft(j), SwatchTop(i)};
}

enum class Look { kOn, kOff };

// Whether the swatch of pattern k shows a look: on is the whole square in M(k); off is a white
// outline round M(k) (the ring between keeps what was there before, so it is not read). The
// white pattern looks the same both ways.
bool Shows(const PixelSource& px, int k, Look look) {
  const Corner o = SwatchCorner(k);
  const ColorValue c = MatchValue(k);
  for (int dy = 0; dy <= 12; ++dy) {
    for (int dx = 0; dx <= 12; ++dx) {
      const ColorValue v = px(o.x + dx, o.y + dy);
      const bool edge = dx == 0 || dy == 0 || dx == 12 || dy == 12;
      const bool inner = dx >= 2 && dx <= 10 && dy >= 2 && dy <= 10;
      if (look == Look::kOn && v != c) return false;
      if (look == Look::kOff && ((edge && v != kWhite) || (inner && v != c))) return false;
    }
  }
  return true;
}

// The editor window over a fresh model, shown on screen.
class Editor {
 public:
  Editor() : model_(std::make_unique<Model>()), form_(model_.get()) {
    form_.show();
    exposed_ = QTest::qWaitForWindowExposed(&form_);
  }

  Model& model() { return *model_; }
  Form2& form() { return form_; }
  bool exposed() const { return exposed_; }
  QWidget* pic9() { return form_.findChild<QWidget*>("Pic9"); }
  QLabel* count() { return form_.findChild<QLabel*>("Label7"); }
  QPushButton* button(const char* name) { return form_.findChild<QPushButton*>(name); }
  QImage Screen() { return pic9()->grab().toImage(); }

  void Click(Qt::MouseButton button, int x, int y) {
    QTest::mouseClick(pic9(), button, Qt::NoModifier, QPoint(x, y));
  }
  void ClickSwatch(Qt::MouseButton button, int k, int dx = 6, int dy = 6) {
    const Corner o = SwatchCorner(k);
    Click(button, o.x + dx, o.y + dy);
  }

  // The first pixel where the painted widget differs from the model's swatch picture.
  QString ScreenMismatch() {
    const QImage image = Screen();
    const Surface& s = model_->pic9();
    if (image.width() != s.width() || image.height() != s.height())
      return QString("widget %1x%2, surface %3x%4")
          .arg(image.width())
          .arg(image.height())
          .arg(s.width())
          .arg(s.height());
    const PixelSource shown = FromImage(image);
    for (int y = 0; y < s.height(); ++y)
      for (int x = 0; x < s.width(); ++x)
        if (shown(x, y) != PixelAt(s, x, y))
          return QString("pixel (%1, %2): shown %3, model %4")
              .arg(x)
              .arg(y)
              .arg(shown(x, y), 6, 16, QChar('0'))
              .arg(PixelAt(s, x, y), 6, 16, QChar('0'));
    return {};
  }

  // Every swatch's look, on the widget and in the model, against the excluded flags.
  QString LooksMismatch() {
    const QImage image = Screen();
    const PixelSource shown = FromImage(image), model = FromSurface(model_->pic9());
    for (int k = 0; k < kPatternCount; ++k) {
      const bool off = model_->pattern_flags().excluded[static_cast<std::size_t>(k)] == 1;
      const Look want = off ? Look::kOff : Look::kOn;
      if (!Shows(shown, k, want) || !Shows(model, k, want))
        return QString("pattern %1 (%2): shown %3, model %4")
            .arg(k)
            .arg(off ? "off" : "on")
            .arg(Shows(shown, k, want) ? "right" : "wrong")
            .arg(Shows(model, k, want) ? "right" : "wrong");
    }
    return {};
  }

  // Loads a 512 x 480 picture of three bands (black, blue, white) whose edges fall on the
  // preview's 4 x 2 cells, so every preview pixel keeps one of the three colours exactly.
  void LoadBands() {
    Surface picture("Pic1", 512, 480, kBlack);
    picture.FillRect(128, 0, 255, 479, kBlue);
    picture.FillRect(256, 0, 511, 479, kWhite);
    model_->LoadSourcePicture(std::move(picture));
    form_.RefreshFromModel();  // what the main window does after a load
  }

 private:
  std::unique_ptr<Model> model_;
  Form2 form_;
  bool exposed_ = false;
};

int ExcludedCount(const Model& m) {
  int n = 0;
  for (int v : m.pattern_flags().excluded) n += v;
  return n;
}

}  // namespace

class Form2Test : public QObject {
  Q_OBJECT

 private slots:
  void WindowStartLayout();
  void WindowStartPicture();
  void SwatchGeometry_data();
  void SwatchGeometry();
  void PressesBesidePic9DoNothing();
  void LeftClicksSwitchAndLeaveCountStale();
  void DoubleClickIsTwoPresses();
  void RightClicksSwapAndMark();
  void RightClickOnEqualPair();
  void MiddleClickOnlyConverts();
  void AllOnAllOff();
  void LoadShowsAutoPaletteSelection();
  void ClosedEditorStaysClosed();
  void GrabToPng();
};

void Form2Test::WindowStartLayout() {
  Editor e;
  QVERIFY(e.exposed());
  Form2& f = e.form();
  QCOMPARE(f.windowTitle(), QString("TVC Pattern"));
  QCOMPARE(f.size(), QSize(333, 414));
  QVERIFY(f.isWindow());
  QCOMPARE(f.windowModality(), Qt::NonModal);

  struct Expect {
    const char* name;
    QRect rect;
    const char* text;
  };
  const Expect controls[] = {
      {"Pic9", QRect(0, 0, 312, 312), nullptr},
      {"Command6", QRect(248, 328, 73, 33), "All On"},
      {"Command7", QRect(248, 368, 73, 33), "All Off"},
      {"Label6", QRect(168, 368, 33, 17), "used :"},
      {"Label7", QRect(200, 368, 33, 17), "0"},
  };
  for (const Expect& c : controls) {
    QWidget* w = f.findChild<QWidget*>(c.name);
    QVERIFY2(w != nullptr, c.name);
    QCOMPARE(w->geometry(), c.rect);
    QVERIFY2(w->isVisible(), c.name);
    if (auto* b = qobject_cast<QPushButton*>(w)) QCOMPARE(b->text(), QString(c.text));
    if (auto* l = qobject_cast<QLabel*>(w)) {
      QCOMPARE(l->text(), QString(c.text));
      QVERIFY2(l->fontMetrics().horizontalAdvance(l->text()) <= l->width(), c.name);
    }
  }
  // The count label sits on white; its right end never holds text.
  const QImage label = e.count()->grab().toImage();
  QCOMPARE(FromImage(label)(label.width() - 1, label.height() - 1), kWhite);
  QCOMPARE(FromImage(label)(label.width() - 1, 0), kWhite);
}

void Form2Test::WindowStartPicture() {
  Editor e;
  QVERIFY(e.exposed());
  const QString mismatch = e.ScreenMismatch();
  QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));
  // Every pixel by the geometry: swatch squares of the upper triangle in M(k), the rest
  // background, so gaps and the lower triangle read as (31, 31, 31).
  const PixelSource shown = FromImage(e.Screen());
  for (int y = 0; y < 312; ++y) {
    for (int x = 0; x < 312; ++x) {
      ColorValue want = kSwatchBackground;
      const int j = (x - 8) / 20, i = (y - 11) / 20;
      if (x >= 8 && y >= 11 && (x - 8) % 20 <= 12 && (y - 11) % 20 <= 12 && j <= 14 && i <= j)
        want = MatchValue(PatternIndex(i, j));
      if (shown(x, y) != want)
        QFAIL(qPrintable(QString("pixel (%1, %2) is %3").arg(x).arg(y).arg(shown(x, y), 0, 16)));
    }
  }
  QCOMPARE(e.model().convert_count(), std::uint64_t{0});
}

void Form2Test::SwatchGeometry_data() {
  QTest::addColumn<int>("x");
  QTest::addColumn<int>("y");
  QTest::addColumn<int>("pattern");  // -1: the press must do nothing

  QTest::newRow("top-left outline of (0,0)") << 8 << 11 << 0;
  QTest::newRow("bottom-right outline of (0,0)") << 20 << 23 << 0;
  QTest::newRow("centre of (0,1)") << 34 << 17 << 1;
  QTest::newRow("top-left outline of (0,14)") << 288 << 11 << 14;
  QTest::newRow("top-right outline of (0,14)") << 300 << 11 << 14;
  QTest::newRow("bottom-left outline of (3,7)") << 148 << 83 << PatternIndex(3, 7);
  QTest::newRow("bottom-right outline of (13,14)") << 300 << 283 << PatternIndex(13, 14);
  QTest::newRow("right outline of (14,14)") << 300 << 297 << 119;
  QTest::newRow("gap right of (0,0)") << 21 << 11 << -1;
  QTest::newRow("gap left of (0,0)") << 7 << 17 << -1;
  QTest::newRow("above row 0") << 14 << 10 << -1;
  QTest::newRow("gap between rows 0 and 1") << 108 << 24 << -1;
  QTest::newRow("gap between rows 13 and 14") << 294 << 287 << -1;
  QTest::newRow("below the triangle at (5,2)") << 54 << 117 << -1;
  QTest::newRow("below the triangle at (14,0)") << 8 << 291 << -1;
  // (0, 0) itself would stand for "the centre" to QTest.
  QTest::newRow("picture's top-left edge") << 0 << 1 << -1;
  QTest::newRow("picture corner (311,311)") << 311 << 311 << -1;
  QTest::newRow("right of column 14") << 301 << 11 << -1;
}

void Form2Test::SwatchGeometry() {
  QFETCH(int, x);
  QFETCH(int, y);
  QFETCH(int, pattern);
  Editor e;
  QVERIFY(e.exposed());
  QSignalSpy converted(&e.form(), &Form2::Converted);
  const Surface before = e.model().pic9();

  e.Click(Qt::LeftButton, x, y);

  if (pattern < 0) {
    QCOMPARE(ExcludedCount(e.model()), 0);
    QCOMPARE(e.model().convert_count(), std::uint64_t{0});
    QCOMPARE(converted.count(), 0);
    QVERIFY(e.model().pic9() == before);
  } else {
    QCOMPARE(ExcludedCount(e.model()), 1);
    QCOMPARE(e.model().pattern_flags().excluded[static_cast<std::size_t>(pattern)], 1);
    QCOMPARE(e.model().convert_count(), std::uint64_t{1});
    QCOMPARE(converted.count(), 1);
    QVERIFY(Shows(FromImage(e.Screen()), pattern, Look::kOff));
  }
  const QString mismatch = e.ScreenMismatch();
  QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));
}

void Form2Test::PressesBesidePic9DoNothing() {
  Editor e;
  QVERIFY(e.exposed());
  QSignalSpy converted(&e.form(), &Form2::Converted);
  // The window's own area right of and below the swatch picture, and the labels.
  for (const QPoint p : {QPoint(320, 100), QPoint(100, 350), QPoint(332, 413)})
    QTest::mouseClick(&e.form(), Qt::LeftButton, Qt::NoModifier, p);
  QTest::mouseClick(e.count(), Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
  QCOMPARE(e.model().convert_count(), std::uint64_t{0});
  QCOMPARE(converted.count(), 0);
  QCOMPARE(ExcludedCount(e.model()), 0);
}

void Form2Test::LeftClicksSwitchAndLeaveCountStale() {
  Editor e;
  QVERIFY(e.exposed());
  QTest::mouseClick(e.button("Command6"), Qt::LeftButton);  // "All On" counts 120
  QCOMPARE(e.count()->text(), QString("120"));
  QSignalSpy converted(&e.form(), &Form2::Converted);
  const std::uint64_t runs = e.model().convert_count();
  const int k = PatternIndex(2, 11);

  e.ClickSwatch(Qt::LeftButton, k);
  QCOMPARE(e.model().pattern_flags().excluded[k], 1);
  QVERIFY(Shows(FromImage(e.Screen()), k, Look::kOff));
  QVERIFY(Shows(FromSurface(e.model().pic9()), k, Look::kOff));
  QCOMPARE(e.count()->text(), QString("120"));

  // The white outline of a switched-off swatch is part of it: a click there switches it on.
  e.ClickSwatch(Qt::LeftButton, k, 12, 0);
  QCOMPARE(e.model().pattern_flags().excluded[k], 0);
  QVERIFY(Shows(FromImage(e.Screen()), k, Look::kOn));
  QVERIFY(Shows(FromSurface(e.model().pic9()), k, Look::kOn));

  e.ClickSwatch(Qt::LeftButton, 0);
  e.ClickSwatch(Qt::LeftButton, kWhiteWhite);
  QCOMPARE(ExcludedCount(e.model()), 2);
  QCOMPARE(e.count()->text(), QString("120"));  // stale until the next redraw
  QCOMPARE(QString::fromStdString(e.model().patterns_used_caption()), QString("120"));
  QCOMPARE(converted.count(), 4);
  QCOMPARE(e.model().convert_count(), runs + 4);
  QString mismatch = e.LooksMismatch();
  QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));

  // The next redraw (here by the main window after a probe click) brings the count up.
  e.model().RedrawEditor();
  e.form().RefreshFromModel();
  QCOMPARE(e.count()->text(), QString("118"));
  mismatch = e.ScreenMismatch();
  QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));
}

void Form2Test::DoubleClickIsTwoPresses() {
  Editor e;
  QVERIFY(e.exposed());
  const int k = PatternIndex(4, 4);
  const Corner o = SwatchCorner(k);
  // Through the window system, as a real double click arrives: press, release, double click.
  QTest::mouseDClick(e.form().windowHandle(), Qt::LeftButton, Qt::NoModifier,
                     QPoint(o.x + 3, o.y + 3));
  QCOMPARE(e.model().convert_count(), std::uint64_t{2});
  QCOMPARE(e.model().pattern_flags().excluded[k], 0);
  QVERIFY(Shows(FromImage(e.Screen()), k, Look::kOn));
}

void Form2Test::RightClicksSwapAndMark() {
  Editor e;
  QVERIFY(e.exposed());
  e.LoadBands();
  QSignalSpy converted(&e.form(), &Form2::Converted);
  const int k = PatternIndex(1, 9);  // dark blue with red
  const PaletteEntry a = e.model().pattern_set().A(k), b = e.model().pattern_set().B(k);
  QVERIFY(!(a == b));
  const std::vector<std::int32_t> excluded(e.model().pattern_flags().excluded.begin(),
                                           e.model().pattern_flags().excluded.end());
  const Look look = Look::kOff;  // the bands do not use this pattern
  QVERIFY(Shows(FromSurface(e.model().pic9()), k, look));
  const std::uint64_t runs = e.model().convert_count();

  e.ClickSwatch(Qt::RightButton, k);
  QCOMPARE(e.model().pattern_set().A(k), b);
  QCOMPARE(e.model().pattern_set().B(k), a);
  QCOMPARE(e.model().pattern_flags().swapped[k], 1);
  // A right click leaves the switch alone, and the mark is drawn in the swatch's own colour.
  QVERIFY(std::equal(excluded.begin(), excluded.end(), e.model().pattern_flags().excluded.begin()));
  QVERIFY(Shows(FromImage(e.Screen()), k, look));
  QVERIFY(Shows(FromSurface(e.model().pic9()), k, look));

  e.ClickSwatch(Qt::RightButton, k, 0, 12);  // on the outline's bottom-left corner
  QCOMPARE(e.model().pattern_set().A(k), a);
  QCOMPARE(e.model().pattern_set().B(k), b);
  QCOMPARE(e.model().pattern_flags().swapped[k], 0);
  QVERIFY(Shows(FromImage(e.Screen()), k, look));
  QCOMPARE(converted.count(), 2);
  QCOMPARE(e.model().convert_count(), runs + 2);
  const QString mismatch = e.ScreenMismatch();
  QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));
}

void Form2Test::RightClickOnEqualPair() {
  Editor e;
  QVERIFY(e.exposed());
  const int k = PatternIndex(6, 6);
  const PaletteEntry a = e.model().pattern_set().A(k);
  e.ClickSwatch(Qt::RightButton, k);
  QCOMPARE(e.model().pattern_flags().swapped[k], 1);
  QCOMPARE(e.model().pattern_set().A(k), a);
  QCOMPARE(e.model().pattern_set().B(k), a);
  QVERIFY(Shows(FromImage(e.Screen()), k, Look::kOn));
  e.ClickSwatch(Qt::RightButton, k);
  QCOMPARE(e.model().pattern_flags().swapped[k], 0);
  QCOMPARE(e.model().convert_count(), std::uint64_t{2});
}

void Form2Test::MiddleClickOnlyConverts() {
  Editor e;
  QVERIFY(e.exposed());
  const int off = PatternIndex(0, 5), swapped = PatternIndex(3, 12);
  e.ClickSwatch(Qt::LeftButton, off);
  e.ClickSwatch(Qt::RightButton, swapped);
  const PatternFlags flags = e.model().pattern_flags();
  const PatternSet set = e.model().pattern_set();
  const Surface picture = e.model().pic9();
  QSignalSpy converted(&e.form(), &Form2::Converted);

  // Unlike the result view, the middle button does not switch an excluded pattern on.
  e.ClickSwatch(Qt::MiddleButton, off);
  e.ClickSwatch(Qt::MiddleButton, swapped);
  QVERIFY(e.model().pattern_flags().excluded == flags.excluded);
  QVERIFY(e.model().pattern_flags().swapped == flags.swapped);
  QVERIFY(e.model().pattern_set().columns[0] == set.columns[0]);
  QVERIFY(e.model().pattern_set().columns[1] == set.columns[1]);
  QVERIFY(e.model().pic9() == picture);
  QCOMPARE(converted.count(), 2);
  QCOMPARE(e.model().convert_count(), std::uint64_t{4});
  QVERIFY(Shows(FromImage(e.Screen()), off, Look::kOff));
}

void Form2Test::AllOnAllOff() {
  Editor e;
  QVERIFY(e.exposed());
  e.LoadBands();
  const int k = PatternIndex(2, 13);
  const PaletteEntry a = e.model().pattern_set().A(k), b = e.model().pattern_set().B(k);
  e.ClickSwatch(Qt::RightButton, k);
  QSignalSpy converted(&e.form(), &Form2::Converted);
  const std::uint64_t runs = e.model().convert_count();

  QTest::mouseClick(e.button("Command7"), Qt::LeftButton);
  QCOMPARE(e.count()->text(), QString("0"));
  QCOMPARE(ExcludedCount(e.model()), 120);
  QCOMPARE(e.model().pattern_flags().swapped[k], 0);
  QCOMPARE(e.model().pattern_set().A(k), b);  // the colours stay swapped
  QString mismatch = e.LooksMismatch();
  QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));
  QCOMPARE(converted.count(), 1);
  QCOMPARE(e.model().convert_count(), runs + 1);

  QTest::mouseClick(e.button("Command6"), Qt::LeftButton);
  QCOMPARE(e.count()->text(), QString("120"));
  QCOMPARE(ExcludedCount(e.model()), 0);
  mismatch = e.LooksMismatch();
  QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));
  QCOMPARE(converted.count(), 2);

  // The mark is gone while the colours stay swapped: the next right click restores the start
  // order and sets the mark.
  e.ClickSwatch(Qt::RightButton, k);
  QCOMPARE(e.model().pattern_set().A(k), a);
  QCOMPARE(e.model().pattern_set().B(k), b);
  QCOMPARE(e.model().pattern_flags().swapped[k], 1);
}

void Form2Test::LoadShowsAutoPaletteSelection() {
  Editor e;
  QVERIFY(e.exposed());
  e.LoadBands();
  // "Graphics 16" with "Pattern TVC" at start: only the three patterns of the bands stay on.
  QCOMPARE(e.count()->text(), QString("3"));
  QCOMPARE(ExcludedCount(e.model()), 117);
  for (int k : {0, kBlueBlue, kWhiteWhite})
    QCOMPARE(e.model().pattern_flags().excluded[static_cast<std::size_t>(k)], 0);
  QString mismatch = e.LooksMismatch();
  QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));

  // In another method the load leaves all 120 on.
  e.model().SelectMethod(DitherMethod::kFloyd);
  e.LoadBands();
  QCOMPARE(e.count()->text(), QString("120"));
  mismatch = e.LooksMismatch();
  QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));
}

void Form2Test::ClosedEditorStaysClosed() {
  Editor e;
  QVERIFY(e.exposed());
  QVERIFY(e.form().close());
  QVERIFY(!e.form().isVisible());

  // The tables and the conversion go on without the window, and nothing reopens it.
  e.LoadBands();
  QVERIFY(!e.form().isVisible());
  QCOMPARE(ExcludedCount(e.model()), 117);
  const std::uint64_t runs = e.model().convert_count();
  e.model().ProbeMove(300, 100);  // white band
  QCOMPARE(QString::fromStdString(e.model().probe_caption()), QString::number(kWhiteWhite));
  e.model().ProbeClick(kLeftButton);
  e.form().RefreshFromModel();
  QVERIFY(!e.form().isVisible());
  QCOMPARE(e.model().pattern_flags().excluded[kWhiteWhite], 1);
  QCOMPARE(e.count()->text(), QString("2"));
  QVERIFY(e.model().convert_count() > runs);
  // The closed window still holds the model's picture when shown again.
  const QString mismatch = e.LooksMismatch();
  QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));
}

void Form2Test::GrabToPng() {
  Editor e;
  QVERIFY(e.exposed());
  e.LoadBands();
  QTest::mouseClick(e.button("Command6"), Qt::LeftButton);
  e.ClickSwatch(Qt::LeftButton, PatternIndex(0, 3));
  e.ClickSwatch(Qt::LeftButton, PatternIndex(5, 9));
  e.ClickSwatch(Qt::RightButton, PatternIndex(1, 9));
  const QImage window = e.form().grab().toImage();
  QCOMPARE(window.size(), QSize(333, 414));
  QVERIFY(window.save("/tmp/form2.png"));
}

}  // namespace tvcpix

QTEST_MAIN(tvcpix::Form2Test)
#include "gui_form2_test.moc"
