// Window tests of the result view's magnifier and colour probe, and of its clicks on patterns.
#include <QLabel>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

#include "adjust/pattern_editor.h"
#include "adjust/pattern_set.h"
#include "core/model.h"
#include "ui/form1.h"
#include "ui/form2.h"

namespace tvcpix {
namespace {

constexpr ColorValue kWhite = MakeColor(255, 255, 255);
constexpr ColorValue kBlack = MakeColor(0, 0, 0);
constexpr ColorValue kBlue = MakeColor(0, 0, 255);
constexpr ColorValue kRed = MakeColor(255, 0, 0);
constexpr ColorValue kDarkRed = MakeColor(147, 0, 0);
constexpr ColorValue kMidRed = MakeColor(201, 0, 0);  // match colour of dark red with red
constexpr int kBlueBlue = PatternIndex(8, 8);
constexpr int kDarkRedRed = PatternIndex(2, 9);  // A = red, B = dark red at start
constexpr int kWhiteWhite = PatternIndex(14, 14);

ColorValue ColorOf(const QImage& image, int x, int y) {
  const QRgb p = image.pixel(x, y);
  return MakeColor(qRed(p), qGreen(p), qBlue(p));
}

// Colours compare as "(r, g, b)" text so a failure says which colour it saw.
QString Rgb(ColorValue c) {
  return QString("(%1, %2, %3)").arg(RedOf(c)).arg(GreenOf(c)).arg(BlueOf(c));
}

// Both windows over one model, the way the program starts them.
class Program {
 public:
  Program()
      : model_(std::make_unique<Model>()), editor_(model_.get()), main_(model_.get(), &editor_) {
    main_.show();
    editor_.show();
    exposed_ = QTest::qWaitForWindowExposed(&main_) && QTest::qWaitForWindowExposed(&editor_);
  }

  Model& model() { return *model_; }
  Form1& main() { return main_; }
  Form2& editor() { return editor_; }
  bool exposed() const { return exposed_; }

  QWidget* Control(const char* name) { return main_.findChild<QWidget*>(name); }
  QWidget* pic2() { return Control("Pic2"); }
  QString ProbeText() { return main_.findChild<QLabel*>("Label9")->text(); }
  QString EditorCount() { return editor_.findChild<QLabel*>("Label7")->text(); }

  // The colour a probe square shows at its centre, as painted.
  ColorValue ShapeColor(int n) {
    QWidget* shape = Control(qPrintable(QString("Shape%1").arg(n)));
    const QImage image = shape->grab().toImage();
    return ColorOf(image, image.width() / 2, image.height() / 2);
  }
  QImage Grab(const char* name) { return Control(name)->grab().toImage(); }

  // A pointer movement over the result view, delivered as the window system does, with the
  // given buttons held. Sent directly so that (0, 0) and points far outside can be used.
  void Move(int x, int y, Qt::MouseButtons held = Qt::NoButton) {
    QWidget* view = pic2();
    const QPointF local(x, y);
    QMouseEvent event(QEvent::MouseMove, local, view->mapToGlobal(local), Qt::NoButton, held,
                      Qt::NoModifier);
    QApplication::sendEvent(view, &event);
  }
  void Click(Qt::MouseButton button, int x, int y) {
    QTest::mouseClick(pic2(), button, Qt::NoModifier, QPoint(x, y));
  }

  // Loads, through the main window's file path, a 512 x 480 BMP of four bands whose edges fall
  // on the preview's 4 x 2 cells: black, blue, (201, 0, 0) and white, 128 pixels wide each.
  bool LoadBands() {
    QImage image(512, 480, QImage::Format_RGB888);
    const QColor bands[4] = {QColor(0, 0, 0), QColor(0, 0, 255), QColor(201, 0, 0),
                             QColor(255, 255, 255)};
    for (int b = 0; b < 4; ++b) {
      for (int y = 0; y < 480; ++y)
        for (int x = 128 * b; x < 128 * (b + 1); ++x) image.setPixelColor(x, y, bands[b]);
    }
    const QString path = dir_.filePath("bands.bmp");
    return dir_.isValid() && image.save(path, "BMP") && main_.LoadPictureFile(path);
  }

 private:
  QTemporaryDir dir_;
  std::unique_ptr<Model> model_;
  Form2 editor_;
  Form1 main_;
  bool exposed_ = false;
};

}  // namespace

class ProbeTest : public QObject {
  Q_OBJECT

 private slots:
  void ClickBeforeAnyMoveActsOnPatternZero();
  void ProbeValues_data();
  void ProbeValues();
  void MagnifierCentreAndFrames();
  void MagnifierAtTheEdges();
  void ProbeKeepsStateOutsideTheView();
  void LeftClicksSwitchOffAndProbeSkips();
  void MiddleAndRightClicks();
  void SwapMarkDecidesTheCheckerOrder();
  void EditorClosedMainGoesOn();
};

void ProbeTest::ClickBeforeAnyMoveActsOnPatternZero() {
  Program p;
  QVERIFY(p.exposed());
  QVERIFY(p.LoadBands());
  QCOMPARE(p.EditorCount(), QString("4"));
  QCOMPARE(p.ProbeText(), QString("0"));
  // A press arrives without a movement before it; the probe's "0" picks the pattern.
  const std::uint64_t runs = p.model().convert_count();
  p.Click(Qt::LeftButton, 300, 200);
  QCOMPARE(p.ProbeText(), QString("0"));
  QCOMPARE(p.model().pattern_flags().excluded[0], 1);
  QCOMPARE(p.EditorCount(), QString("3"));  // the editor redrew and counted
  QVERIFY(p.model().convert_count() > runs);
}

void ProbeTest::ProbeValues_data() {
  QTest::addColumn<int>("x");
  QTest::addColumn<int>("y");
  QTest::addColumn<uint>("source");
  QTest::addColumn<int>("pattern");
  QTest::addColumn<uint>("a");  // Shape2 and Shape5
  QTest::addColumn<uint>("b");  // Shape3 and Shape4

  // Black is a colour like any other, not a failed read.
  QTest::newRow("black") << 60 << 100 << uint{kBlack} << 0 << uint{kBlack} << uint{kBlack};
  QTest::newRow("blue") << 200 << 50 << uint{kBlue} << kBlueBlue << uint{kBlue} << uint{kBlue};
  QTest::newRow("mid red") << 300 << 200 << uint{kMidRed} << kDarkRedRed << uint{kRed}
                           << uint{kDarkRed};
  QTest::newRow("white") << 511 << 479 << uint{kWhite} << kWhiteWhite << uint{kWhite}
                         << uint{kWhite};
}

void ProbeTest::ProbeValues() {
  QFETCH(int, x);
  QFETCH(int, y);
  QFETCH(uint, source);
  QFETCH(int, pattern);
  QFETCH(uint, a);
  QFETCH(uint, b);
  Program p;
  QVERIFY(p.exposed());
  QVERIFY(p.LoadBands());
  p.Move(x, y);
  QCOMPARE(p.ProbeText(), QString::number(pattern));
  QCOMPARE(Rgb(p.ShapeColor(1)), Rgb(source));
  QCOMPARE(Rgb(p.ShapeColor(2)), Rgb(a));
  QCOMPARE(Rgb(p.ShapeColor(5)), Rgb(a));
  QCOMPARE(Rgb(p.ShapeColor(3)), Rgb(b));
  QCOMPARE(Rgb(p.ShapeColor(4)), Rgb(b));
  // Moving changes no table and runs no conversion.
  QCOMPARE(p.EditorCount(), QString("4"));
}

void ProbeTest::MagnifierCentreAndFrames() {
  Program p;
  QVERIFY(p.exposed());
  QVERIFY(p.LoadBands());
  // Two pixels right of the black/blue edge: the block's first column is black, the rest blue.
  p.Move(129, 10);
  const QImage z = p.Grab("PicZ"), zz = p.Grab("PicZZ");
  QCOMPARE(z.size(), QSize(120, 120));
  for (int j = 0; j < 5; ++j) {
    for (int i = 0; i < 5; ++i) {
      const int cx = 24 * i + 12 - (i == 2 ? 6 : 0), cy = 24 * j + 12;  // avoid the frames
      const ColorValue want_z = PixelAt(p.model().pic5(), 127 + i, 8 + j);
      const ColorValue want_zz = PixelAt(p.model().pic2(), 127 + i, 8 + j);
      QCOMPARE(Rgb(ColorOf(z, cx, cy)), Rgb(want_z));
      QCOMPARE(Rgb(ColorOf(zz, cx, cy)), Rgb(want_zz));
      // Every source pixel covers a whole 24 x 24 block.
      QCOMPARE(Rgb(ColorOf(z, 24 * i + 2, 24 * j + 21)), Rgb(want_z));
    }
  }
  QCOMPARE(Rgb(ColorOf(z, 60, 60)), Rgb(kBlue));
  QCOMPARE(Rgb(ColorOf(z, 2, 60)), Rgb(kBlack));
  // Source magnifier: white inner square (48..70), black outer square (47..71).
  for (const QPoint q : {QPoint(48, 48), QPoint(70, 48), QPoint(48, 70), QPoint(70, 70),
                         QPoint(59, 48), QPoint(70, 59)}) {
    QCOMPARE(Rgb(ColorOf(z, q.x(), q.y())), Rgb(kWhite));
    QCOMPARE(Rgb(ColorOf(zz, q.x(), q.y())), Rgb(kBlack));
  }
  for (const QPoint q : {QPoint(47, 47), QPoint(71, 47), QPoint(47, 71), QPoint(71, 71),
                         QPoint(59, 47), QPoint(47, 59)}) {
    QCOMPARE(Rgb(ColorOf(z, q.x(), q.y())), Rgb(kBlack));
    QCOMPARE(Rgb(ColorOf(zz, q.x(), q.y())), Rgb(kWhite));
  }
  // The painted views show the model's magnifier surfaces.
  const QImage model_z(p.model().picz().data(), 120, 120, 360, QImage::Format_BGR888);
  QVERIFY(z.convertToFormat(QImage::Format_RGB32) == model_z.convertToFormat(QImage::Format_RGB32));
}

void ProbeTest::MagnifierAtTheEdges() {
  Program p;
  QVERIFY(p.exposed());
  QVERIFY(p.LoadBands());
  // At (0, 0) the block starts at (-2, -2): its first two rows and columns lie outside the
  // view and show the magnifier's white background.
  p.Move(0, 0);
  QImage z = p.Grab("PicZ");
  for (const QPoint q : {QPoint(12, 12), QPoint(36, 12), QPoint(108, 36), QPoint(12, 108)})
    QCOMPARE(Rgb(ColorOf(z, q.x(), q.y())), Rgb(kWhite));
  QCOMPARE(Rgb(ColorOf(z, 60, 60)), Rgb(kBlack));
  QCOMPARE(Rgb(ColorOf(z, 108, 108)), Rgb(kBlack));
  QCOMPARE(Rgb(ColorOf(z, 47, 47)), Rgb(kBlack));  // the frames are drawn all the same
  QCOMPARE(p.ProbeText(), QString("0"));

  // At the bottom-right corner the last two rows and columns are outside.
  p.Move(511, 479);
  z = p.Grab("PicZ");
  const QImage zz = p.Grab("PicZZ");
  QCOMPARE(Rgb(ColorOf(z, 60, 60)), Rgb(kWhite));  // the white band itself
  QCOMPARE(Rgb(ColorOf(z, 108, 12)), Rgb(kWhite));
  QCOMPARE(Rgb(ColorOf(zz, 12, 12)), Rgb(PixelAt(p.model().pic2(), 509, 477)));
  QCOMPARE(Rgb(ColorOf(zz, 84, 84)), Rgb(kWhite));
  QCOMPARE(p.ProbeText(), QString::number(kWhiteWhite));
}

void ProbeTest::ProbeKeepsStateOutsideTheView() {
  Program p;
  QVERIFY(p.exposed());
  QVERIFY(p.LoadBands());
  p.Move(300, 200);
  QCOMPARE(p.ProbeText(), QString::number(kDarkRedRed));
  // Dragging with a button held reports positions far beyond the view.
  for (const QPoint q : {QPoint(-300, 900), QPoint(512, 10), QPoint(10, 480), QPoint(-1, -1),
                         QPoint(100000, -100000)}) {
    p.Move(q.x(), q.y(), Qt::LeftButton);
    QCOMPARE(p.ProbeText(), QString::number(kDarkRedRed));
    QCOMPARE(Rgb(p.ShapeColor(1)), Rgb(kMidRed));
    QCOMPARE(Rgb(p.ShapeColor(2)), Rgb(kRed));
  }
  // Far outside, the whole block is background: white apart from the frames.
  p.Move(-300, 900, Qt::LeftButton);
  const QImage z = p.Grab("PicZ");
  QCOMPARE(Rgb(ColorOf(z, 60, 60)), Rgb(kWhite));
  QCOMPARE(Rgb(ColorOf(z, 12, 12)), Rgb(kWhite));
  QCOMPARE(Rgb(ColorOf(z, 47, 47)), Rgb(kBlack));
}

void ProbeTest::LeftClicksSwitchOffAndProbeSkips() {
  Program p;
  QVERIFY(p.exposed());
  QVERIFY(p.LoadBands());
  QSignalSpy converted(&p.editor(), &Form2::Converted);
  const int red_x = 300, red_y = 200;
  p.Move(red_x, red_y);
  const std::uint64_t runs = p.model().convert_count();
  p.Click(Qt::LeftButton, red_x, red_y);
  QCOMPARE(p.model().pattern_flags().excluded[kDarkRedRed], 1);
  p.Click(Qt::LeftButton, red_x, red_y);  // stays off
  QCOMPARE(p.model().pattern_flags().excluded[kDarkRedRed], 1);
  QVERIFY(p.model().convert_count() >= runs + 2);
  QCOMPARE(p.EditorCount(), QString("3"));
  QCOMPARE(converted.count(), 0);  // the main window's own click, not an editor edit

  // The editor shows the swatch off (white outline) on screen.
  const QImage swatches = p.editor().findChild<QWidget*>("Pic9")->grab().toImage();
  int i = 0, j = 0;
  PatternPair(kDarkRedRed, &i, &j);
  QCOMPARE(Rgb(ColorOf(swatches, SwatchLeft(j), SwatchTop(i))), Rgb(kWhite));
  QCOMPARE(Rgb(ColorOf(swatches, SwatchLeft(j) + 6, SwatchTop(i) + 6)), Rgb(kMidRed));

  // The band is now drawn with the nearest pattern still on (black), and the probe skips the
  // switched-off pattern too.
  const QImage result = p.pic2()->grab().toImage();
  QCOMPARE(Rgb(ColorOf(result, red_x, red_y)), Rgb(kBlack));
  QCOMPARE(Rgb(ColorOf(result, red_x + 1, red_y + 1)), Rgb(kBlack));
  p.Move(red_x, red_y + 1);
  QCOMPARE(p.ProbeText(), QString("0"));
  QCOMPARE(Rgb(p.ShapeColor(1)), Rgb(kMidRed));
}

void ProbeTest::MiddleAndRightClicks() {
  Program p;
  QVERIFY(p.exposed());
  QVERIFY(p.LoadBands());
  const int red_x = 300, red_y = 200;
  p.Move(red_x, red_y);
  p.Click(Qt::LeftButton, red_x, red_y);
  QCOMPARE(p.EditorCount(), QString("3"));

  // The middle button switches the pattern of Label9 on again without swapping.
  p.Click(Qt::MiddleButton, red_x, red_y);
  QCOMPARE(p.model().pattern_flags().excluded[kDarkRedRed], 0);
  QCOMPARE(p.EditorCount(), QString("4"));
  QCOMPARE(Rgb(ColorFromEntry(p.model().pattern_set().A(kDarkRedRed))), Rgb(kRed));
  QCOMPARE(Rgb(p.ShapeColor(2)), Rgb(kRed));
  const QImage before = p.pic2()->grab().toImage();

  // The right button switches on (after a left click) and swaps; the squares and the result
  // follow the new order; a second right click swaps back.
  p.Click(Qt::LeftButton, red_x, red_y);
  p.Click(Qt::RightButton, red_x, red_y);
  QCOMPARE(p.model().pattern_flags().excluded[kDarkRedRed], 0);
  QCOMPARE(p.model().pattern_flags().swapped[kDarkRedRed], 0);  // the probe keeps no mark
  QCOMPARE(Rgb(ColorFromEntry(p.model().pattern_set().A(kDarkRedRed))), Rgb(kDarkRed));
  QCOMPARE(Rgb(p.ShapeColor(2)), Rgb(kDarkRed));
  QCOMPARE(Rgb(p.ShapeColor(5)), Rgb(kDarkRed));
  QCOMPARE(Rgb(p.ShapeColor(3)), Rgb(kRed));
  QCOMPARE(p.EditorCount(), QString("4"));
  const QImage swapped = p.pic2()->grab().toImage();
  int changed = 0;
  for (int y = 0; y < 480; y += 2)
    for (int x = 256; x < 384; x += 4) {
      const ColorValue was = ColorOf(before, x, y), now = ColorOf(swapped, x, y);
      QVERIFY(was == kRed || was == kDarkRed);
      if (was != now) {
        QCOMPARE(Rgb(now), Rgb(was == kRed ? kDarkRed : kRed));
        ++changed;
      }
    }
  QCOMPARE(changed, 240 * 32);  // every cell of the band took the other colour

  p.Click(Qt::RightButton, red_x, red_y);
  QCOMPARE(Rgb(ColorFromEntry(p.model().pattern_set().A(kDarkRedRed))), Rgb(kRed));
  QVERIFY(p.pic2()->grab().toImage() == before);
}

void ProbeTest::SwapMarkDecidesTheCheckerOrder() {
  Program p;
  QVERIFY(p.exposed());
  QVERIFY(p.LoadBands());
  // A right click in the editor swaps the pattern and marks it.
  int i = 0, j = 0;
  PatternPair(kDarkRedRed, &i, &j);
  QTest::mouseClick(p.editor().findChild<QWidget*>("Pic9"), Qt::RightButton, Qt::NoModifier,
                    QPoint(SwatchLeft(j) + 6, SwatchTop(i) + 6));
  QCOMPARE(p.model().pattern_flags().swapped[kDarkRedRed], 1);

  // Moving shows A and B as they stand; a click repaints them in the marked (B first) order.
  p.Move(300, 200);
  QCOMPARE(Rgb(p.ShapeColor(2)), Rgb(kDarkRed));
  QCOMPARE(Rgb(p.ShapeColor(3)), Rgb(kRed));
  p.Click(Qt::MiddleButton, 300, 200);
  QCOMPARE(Rgb(p.ShapeColor(2)), Rgb(kRed));
  QCOMPARE(Rgb(p.ShapeColor(5)), Rgb(kRed));
  QCOMPARE(Rgb(p.ShapeColor(3)), Rgb(kDarkRed));
  QCOMPARE(Rgb(p.ShapeColor(4)), Rgb(kDarkRed));
}

void ProbeTest::EditorClosedMainGoesOn() {
  Program p;
  QVERIFY(p.exposed());
  QVERIFY(p.LoadBands());
  QVERIFY(p.editor().close());
  p.Move(450, 300);
  QCOMPARE(p.ProbeText(), QString::number(kWhiteWhite));
  const std::uint64_t runs = p.model().convert_count();
  p.Click(Qt::LeftButton, 450, 300);
  QVERIFY(p.model().convert_count() > runs);
  QCOMPARE(p.model().pattern_flags().excluded[kWhiteWhite], 1);
  QVERIFY(!p.editor().isVisible());
  QVERIFY(p.main().isVisible());
  QCOMPARE(p.EditorCount(), QString("3"));
  QVERIFY(p.LoadBands());
  QVERIFY(!p.editor().isVisible());
  QCOMPARE(p.EditorCount(), QString("4"));

  p.Move(300, 200);
  const QImage window = p.main().grab().toImage();
  QVERIFY(window.save("/tmp/form1_probe.png"));
}

}  // namespace tvcpix

QTEST_MAIN(tvcpix::ProbeTest)
#include "gui_probe_test.moc"
