// A long session of random real widget events on both windows: nothing crashes, the model's
// invariants hold after every event and the controls always show the model's state.
#include <QAbstractButton>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QtTest>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "core/model.h"
#include "core/palette.h"
#include "core/run_timer.h"
#include "dither/method.h"
#include "ui/form1.h"
#include "ui/form2.h"

using tvcpix::Form1;
using tvcpix::Form2;
using tvcpix::Model;

namespace {

// Events in the session: TVCPIX_GUI_SESSION_EVENTS when set.
int EventCount() {
  if (const char* env = std::getenv("TVCPIX_GUI_SESSION_EVENTS")) {
    const int n = std::atoi(env);
    if (n > 0) return n;
  }
  return 400;
}

bool IsNumber(const QString& s) {
  bool ok = false;
  s.toLongLong(&ok);
  return ok;
}

QImage Picture(int w, int h, int seed) {
  QImage image(w, h, QImage::Format_RGB888);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      image.setPixelColor(x, y,
                          QColor((x * 7 + seed * 40) % 256, (y * 5 + seed * 90) % 256,
                                 ((x ^ y) + seed * 13) % 256));
    }
  }
  return image;
}

}  // namespace

class GuiLongSessionTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase();
  void RandomEventsKeepWindowsAndModelConsistent();

 private:
  template <typename T = QWidget>
  T* Find(const QString& name) {
    T* w = form_->findChild<T*>(name);
    if (w == nullptr) w = editor_->findChild<T*>(name);
    if (w == nullptr) qFatal("no control %s", qPrintable(name));
    return w;
  }
  int Pick(int n) { return static_cast<int>(rng_() % static_cast<std::uint64_t>(n)); }
  QPoint RandomPointAround(const QWidget* w) {
    // Mostly inside, sometimes just beside or far outside.
    if (Pick(6) == 0) return QPoint(Pick(3000) - 1500, Pick(3000) - 1500);
    return QPoint(Pick(w->width() + 20) - 10, Pick(w->height() + 20) - 10);
  }
  Qt::MouseButton RandomButton() {
    static constexpr Qt::MouseButton kButtons[] = {Qt::LeftButton, Qt::LeftButton, Qt::RightButton,
                                                   Qt::MiddleButton};
    return kButtons[Pick(4)];
  }
  void MoveOver(QWidget* w, QPoint at) {
    QMouseEvent e(QEvent::MouseMove, QPointF(at), w->mapToGlobal(QPointF(at)), Qt::NoButton,
                  Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
  }
  QString OneEvent();
  QString Inconsistency();

  QTemporaryDir tmp_;
  QString pictures_;
  std::mt19937_64 rng_{7};
  std::unique_ptr<Model> model_;
  std::unique_ptr<Form2> editor_;
  std::unique_ptr<Form1> form_;
  int messages_ = 0;
};

void GuiLongSessionTest::initTestCase() {
  QVERIFY(tmp_.isValid());
  pictures_ = tmp_.filePath("pictures");
  QVERIFY(QDir().mkpath(pictures_));
  const QDir dir(pictures_);
  QVERIFY(Picture(64, 48, 1).save(dir.filePath("a small.bmp")));
  QVERIFY(Picture(1, 1, 2).save(dir.filePath("b dot.png")));
  QVERIFY(Picture(600, 40, 3).save(dir.filePath("c wide.jpg"), "JPEG"));
  QVERIFY(Picture(512, 480, 4).save(dir.filePath("d full.bmp")));
  // Saving moves the list to the folder saved into: each has a broken file too.
  for (const QString& folder : {pictures_, tmp_.filePath("program"), tmp_.filePath("chosen")}) {
    QVERIFY(QDir().mkpath(folder));
    QFile broken(QDir(folder).filePath("e broken.jpg"));
    QVERIFY(broken.open(QIODevice::WriteOnly));
    broken.write("not a picture");
  }

  model_ = std::make_unique<Model>();
  editor_ = std::make_unique<Form2>(model_.get());
  form_ = std::make_unique<Form1>(model_.get(), editor_.get());
  form_->show_message = [this](QMessageBox::Icon, const QString&) { ++messages_; };
  form_->ask_yes_no = [this](const QString&) { return Pick(2) == 0; };
  form_->choose_save_path = [this](const QString&) {
    if (Pick(4) == 0) return QString();  // cancelled
    return QDir(tmp_.filePath("chosen")).filePath(QString("shot%1").arg(Pick(3)));
  };
  form_->set_program_folder(tmp_.filePath("program"));
  form_->SetFileListFolder(pictures_);
  form_->show();
  editor_->show();
  QVERIFY(QTest::qWaitForWindowExposed(form_.get()));
  QVERIFY(QTest::qWaitForWindowExposed(editor_.get()));
}

// One random event on a random control; returns what it was.
QString GuiLongSessionTest::OneEvent() {
  const int roll = Pick(100);
  if (roll < 10) {
    const int i = 1 + Pick(tvcpix::kMethodCount);
    QTest::mouseClick(Find(QString("Option1(%1)").arg(i)), Qt::LeftButton, {}, QPoint(6, 8));
    return QString("method %1").arg(i);
  }
  if (roll < 16) {
    const int i = Pick(3);
    QTest::mouseClick(Find(QString("Option2(%1)").arg(i)), Qt::LeftButton, {}, QPoint(6, 8));
    return QString("mode %1").arg(i);
  }
  if (roll < 28) {
    // Swatch rows: the 16 colours, then the 4- or 2-colour row (ignored while disabled).
    const int row = Pick(3);
    const int i = Pick(row == 0 ? 16 : row == 1 ? 4 : 2);
    const QString name = QString("Label%1(%2)").arg(row + 1).arg(i);
    QTest::mouseClick(Find(name), Qt::LeftButton);
    return "palette " + name;
  }
  if (roll < 42) {
    auto* bar = Find<QScrollBar>(QString("HScroll%1").arg(1 + Pick(4)));
    if (Pick(2) == 0) {
      QTest::mouseClick(bar, Qt::LeftButton, {}, QPoint(Pick(bar->width()), bar->height() / 2));
      return bar->objectName() + " click";
    }
    static constexpr Qt::Key kKeys[] = {Qt::Key_Left,     Qt::Key_Right, Qt::Key_PageUp,
                                        Qt::Key_PageDown, Qt::Key_Home,  Qt::Key_End};
    bar->setFocus();
    QTest::keyClick(bar, kKeys[Pick(6)]);
    return bar->objectName() + " key";
  }
  if (roll < 50) {
    auto* list = Find<QListWidget>("File2");
    if (list->count() == 0) return "empty list";
    QListWidgetItem* item = list->item(Pick(list->count()));
    list->scrollToItem(item);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(item).center());
    return "file " + item->text();
  }
  if (roll < 72) {
    QWidget* pic2 = Find("Pic2");
    const QPoint at = RandomPointAround(pic2);
    MoveOver(pic2, at);
    return QString("move %1,%2").arg(at.x()).arg(at.y());
  }
  if (roll < 80) {
    QWidget* pic2 = Find("Pic2");
    const QPoint at(Pick(pic2->width()), Pick(pic2->height()));
    MoveOver(pic2, at);
    QTest::mouseClick(pic2, RandomButton(), {}, at);
    return QString("result-click %1,%2").arg(at.x()).arg(at.y());
  }
  if (roll < 90) {
    QWidget* pic9 = Find("Pic9");
    const QPoint at =
        Pick(4) == 0 ? RandomPointAround(pic9) : QPoint(Pick(pic9->width()), Pick(pic9->height()));
    // Far-away points cannot be clicked with a real mouse; the editor gets in-range ones.
    const QPoint clamped(std::clamp(at.x(), 0, pic9->width() - 1),
                         std::clamp(at.y(), 0, pic9->height() - 1));
    QTest::mouseClick(pic9, RandomButton(), {}, clamped);
    return QString("swatch %1,%2").arg(clamped.x()).arg(clamped.y());
  }
  static const char* kButtons[] = {"All On", "All Off", "Set", "Save", "Save As", "refresh"};
  const int b = Pick(6);
  if (b == 0) QTest::mouseClick(editor_->findChild<QPushButton*>("Command6"), Qt::LeftButton);
  if (b == 1) QTest::mouseClick(editor_->findChild<QPushButton*>("Command7"), Qt::LeftButton);
  if (b == 2) QTest::mouseClick(form_->findChild<QPushButton*>("Command6"), Qt::LeftButton);
  if (b == 3) QTest::mouseClick(form_->findChild<QPushButton*>("Command3"), Qt::LeftButton);
  if (b == 4) QTest::mouseClick(form_->findChild<QPushButton*>("Command7"), Qt::LeftButton);
  if (b == 5) QTest::mouseClick(form_->findChild<QPushButton*>("Command5"), Qt::LeftButton);
  return kButtons[b];
}

// The model's invariants, and every control showing what the model holds.
QString GuiLongSessionTest::Inconsistency() {
  const Model& m = *model_;
  const int size = m.palette().size();
  if (size != 2 && size != 4 && size != 16 && size != tvcpix::kPatternCount) {
    return QString("palette size %1").arg(size);
  }
  for (int k = 0; k < tvcpix::kPatternCount; ++k) {
    const auto e = m.pattern_flags().excluded[static_cast<std::size_t>(k)];
    const auto s = m.pattern_flags().swapped[static_cast<std::size_t>(k)];
    if ((e != 0 && e != 1) || (s != 0 && s != 1)) return QString("flags of pattern %1").arg(k);
  }
  if (m.pic5().width() != 512 || m.pic5().height() != 480) return "Pic5 size";
  if (m.pic2().width() != 512 || m.pic2().height() != 480) return "Pic2 size";
  const struct {
    const char* control;
    std::string model;
  } captions[] = {{"Label6", m.source_colors_caption()},
                  {"Label7", m.result_colors_caption()},
                  {"Label9", m.probe_caption()},
                  {"Label10", m.run_time_caption()}};
  for (const auto& c : captions) {
    const QString shown = form_->findChild<QLabel*>(c.control)->text();
    if (!IsNumber(shown) || shown.toStdString() != c.model) {
      return QString("%1 shows '%2', the model '%3'").arg(c.control, shown, c.model.c_str());
    }
  }
  const QString count = editor_->findChild<QLabel*>("Label7")->text();
  if (!IsNumber(count) || count.toStdString() != m.patterns_used_caption()) {
    return "editor count shows " + count;
  }
  for (int n = 1; n <= 4; ++n) {
    const int v = form_->findChild<QScrollBar*>(QString("HScroll%1").arg(n))->value();
    const QString text = form_->findChild<QLineEdit*>(QString("Text%1").arg(n))->text();
    if (v != m.slider(n) || text != QString::number(v)) {
      return QString("slider %1 at %2 shows '%3', the model %4")
          .arg(n)
          .arg(v)
          .arg(text)
          .arg(m.slider(n));
    }
  }
  for (int i = 0; i < 3; ++i) {
    if (form_->findChild<QRadioButton*>(QString("Option2(%1)").arg(i))->isChecked() !=
        (static_cast<int>(m.mode()) == i)) {
      return QString("mode option %1").arg(i);
    }
  }
  for (int i = 1; i <= tvcpix::kMethodCount; ++i) {
    if (form_->findChild<QRadioButton*>(QString("Option1(%1)").arg(i))->isChecked() !=
        (static_cast<int>(m.method()) == i)) {
      return QString("method option %1").arg(i);
    }
  }
  if (m.convert_count() > 0 && m.resize() &&
      tvcpix::CountColors(m.pic2()) != std::stoi(m.result_colors_caption())) {
    return "result colour count";
  }
  return {};
}

void GuiLongSessionTest::RandomEventsKeepWindowsAndModelConsistent() {
  const int events = EventCount();
  std::set<QString> kinds;
  for (int i = 0; i < events; ++i) {
    const QString what = OneEvent();
    kinds.insert(what.section(' ', 0, 0));
    const QString bad = Inconsistency();
    QVERIFY2(bad.isEmpty(), qPrintable(QString("after event %1 (%2): %3").arg(i).arg(what, bad)));
  }
  // Every kind of control was used; the broken file gave its message box.
  QVERIFY2(kinds.size() >= 15, qPrintable(QStringList(kinds.begin(), kinds.end()).join(", ")));
  QVERIFY(model_->convert_count() > 100);
  QVERIFY(messages_ > 0);
  QVERIFY(QFile::exists(tmp_.filePath("program/out24.tim")));
}

QTEST_MAIN(GuiLongSessionTest)
#include "gui_long_session_test.moc"
