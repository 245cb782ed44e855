// Window tests of loading saved screens (".tim") back from the file list and by dropping.
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QImage>
#include <QListWidget>
#include <QMimeData>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QUrl>
#include <QtTest>
#include <memory>
#include <vector>

#include "core/model.h"
#include "output/screen_decode.h"
#include "ui/form1.h"

using tvcpix::Form1;
using tvcpix::Model;
using tvcpix::Surface;

namespace {

QByteArray ReadAll(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void WriteAll(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  if (f.open(QIODevice::WriteOnly)) f.write(bytes);
}

std::string Native(const QString& path) { return QFile::encodeName(path).toStdString(); }

// A colourful picture with smooth gradients, so every method has work to do.
Surface Gradient() {
  Surface s("Pic1", 200, 150, 0);
  for (int y = 0; y < 150; ++y)
    for (int x = 0; x < 200; ++x) s.SetPixel(x, y, tvcpix::MakeColor(x, y * 255 / 149, 255 - x));
  return s;
}

// The enlarged screen of a .tim file, as the window should load it.
Surface EnlargedScreen(const QString& path) {
  tvcpix::DecodedScreen screen;
  const tvcpix::ScreenDecodeResult r =
      tvcpix::ReadScreenFile(Native(path), tvcpix::TvcMode::kGraphics16, {}, &screen);
  if (!r.ok) qWarning("%s", r.message.c_str());
  return tvcpix::EnlargeScreen(screen.screen);
}

}  // namespace

class ReadbackTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase();
  void init();
  void cleanup();

  void ScreensAreListedBesidePictures();
  void ClickingAScreenLoadsItEnlarged_data();
  void ClickingAScreenLoadsItEnlarged();
  void SavedScreenReloadsToItself();
  void MalformedScreenChangesNothing();
  void DroppedScreenLoadsLikeAClick();

 private:
  void ClickFile(const QString& name);
  QString Saved(const char* name, tvcpix::TvcMode mode, tvcpix::DitherMethod method);

  QTemporaryDir tmp_;
  QString folder_;
  std::unique_ptr<Model> model_;
  std::unique_ptr<Form1> form_;
  std::vector<QString> messages_;
};

QString ReadbackTest::Saved(const char* name, tvcpix::TvcMode mode, tvcpix::DitherMethod method) {
  Model maker;
  maker.SetMode(mode);
  maker.SetMethod(method);
  maker.LoadSourcePicture(Gradient());
  const QString base = QDir(folder_).filePath(name);
  const tvcpix::SaveResult r = maker.SaveAs(Native(base));
  if (!r.ok) qWarning("%s", r.message.c_str());
  return base + ".tim";
}

void ReadbackTest::initTestCase() {
  QVERIFY(tmp_.isValid());
  folder_ = tmp_.filePath("screens");
  QVERIFY(QDir().mkpath(folder_));
  Saved("g16", tvcpix::TvcMode::kGraphics16, tvcpix::DitherMethod::kPatternTvc);
  Saved("g4", tvcpix::TvcMode::kGraphics4, tvcpix::DitherMethod::kFloyd);
  Saved("g2", tvcpix::TvcMode::kGraphics2, tvcpix::DitherMethod::kBayer4x4);
  QVERIFY(QFile::rename(QDir(folder_).filePath("g2.tim"), QDir(folder_).filePath("G2.TIM")));
  WriteAll(QDir(folder_).filePath("short.tim"),
           ReadAll(QDir(folder_).filePath("g4.tim")).left(16399));
  QVERIFY(QImage(QSize(16, 16), QImage::Format_RGB888).save(QDir(folder_).filePath("photo.png")));
}

void ReadbackTest::init() {
  model_ = std::make_unique<Model>();
  form_ = std::make_unique<Form1>(model_.get(), nullptr);
  messages_.clear();
  form_->show_message = [this](QMessageBox::Icon, const QString& text) {
    messages_.push_back(text);
  };
  form_->SetFileListFolder(folder_);
  form_->show();
  QVERIFY(QTest::qWaitForWindowExposed(form_.get()));
}

void ReadbackTest::cleanup() {
  form_.reset();
  model_.reset();
}

void ReadbackTest::ClickFile(const QString& name) {
  auto* list = form_->findChild<QListWidget*>("File2");
  const QList<QListWidgetItem*> items = list->findItems(name, Qt::MatchExactly);
  QCOMPARE(items.size(), 1);
  list->scrollToItem(items.front());
  QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier,
                    list->visualItemRect(items.front()).center());
}

void ReadbackTest::ScreensAreListedBesidePictures() {
  auto* list = form_->findChild<QListWidget*>("File2");
  QStringList shown;
  for (int i = 0; i < list->count(); ++i) shown << list->item(i)->text();
  // The .bin files are not listed: without their mode they cannot be shown.
  QCOMPARE(shown, QStringList({"g16.bmp", "g16.tim", "g2.bmp", "G2.TIM", "g4.bmp", "g4.tim",
                               "photo.png", "short.tim"}));
}

void ReadbackTest::ClickingAScreenLoadsItEnlarged_data() {
  QTest::addColumn<QString>("file");
  QTest::newRow("16 colours") << "g16.tim";
  QTest::newRow("4 colours") << "g4.tim";
  QTest::newRow("2 colours, upper-case name") << "G2.TIM";
}

void ReadbackTest::ClickingAScreenLoadsItEnlarged() {
  QFETCH(QString, file);
  const Surface expected = EnlargedScreen(QDir(folder_).filePath(file));
  QCOMPARE(expected.width(), 512);
  // The normal load sequence, as for any picture of that content.
  Model reference;
  reference.LoadSourcePicture(Surface(expected));

  ClickFile(file);
  QVERIFY2(messages_.empty(), messages_.empty() ? "" : qPrintable(messages_.front()));
  QVERIFY(model_->pic1() == expected);
  QVERIFY(model_->pic5() == reference.pic5());
  QVERIFY(model_->pic2() == reference.pic2());
  QCOMPARE(model_->convert_count(), reference.convert_count());
  QCOMPARE(model_->source_colors_caption(), reference.source_colors_caption());
}

void ReadbackTest::SavedScreenReloadsToItself() {
  // Floyd in 16 colours on a picture of TVC colours in 4 x 2 blocks changes nothing, so a
  // screen loaded and saved again is the same file.
  const QString program = tmp_.filePath("program");
  QVERIFY(QDir().mkpath(program));
  form_->set_program_folder(program);
  QTest::mouseClick(form_->findChild<QRadioButton*>("Option1(2)"), Qt::LeftButton, Qt::NoModifier,
                    QPoint(6, 8));
  QCOMPARE(model_->method(), tvcpix::DitherMethod::kFloyd);
  ClickFile("g16.tim");
  form_->Command3_Click();  // "Save"
  QVERIFY(messages_.empty());
  const QString first = QDir(program).filePath("out24.tim");
  const QByteArray saved = ReadAll(first);
  QCOMPARE(saved.size(), 16400);
  QCOMPARE(saved, ReadAll(QDir(folder_).filePath("g16.tim")));

  // The list now shows the program's folder, the new screen among its files.
  ClickFile("out24.tim");
  QVERIFY(model_->pic1() == EnlargedScreen(first));
  form_->Command3_Click();
  QVERIFY(messages_.empty());
  QCOMPARE(ReadAll(first), saved);
}

void ReadbackTest::MalformedScreenChangesNothing() {
  ClickFile("g4.tim");
  const Surface pic1 = model_->pic1(), pic2 = model_->pic2();
  const auto converts = model_->convert_count();
  ClickFile("short.tim");
  QCOMPARE(messages_.size(), std::size_t{1});
  QVERIFY2(messages_[0].contains("short.tim") && messages_[0].contains("16399 bytes"),
           qPrintable(messages_[0]));
  QVERIFY(model_->pic1() == pic1);
  QVERIFY(model_->pic2() == pic2);
  QCOMPARE(model_->convert_count(), converts);
}

void ReadbackTest::DroppedScreenLoadsLikeAClick() {
  form_->SetFileListFolder(tmp_.path());
  const QString path = QDir(folder_).filePath("g4.tim");
  QMimeData mime;
  mime.setUrls({QUrl::fromLocalFile(path)});
  QDragEnterEvent enter(QPoint(300, 300), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(form_.get(), &enter);
  QVERIFY(enter.isAccepted());
  QDropEvent drop(QPoint(300, 300), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(form_.get(), &drop);
  QVERIFY(messages_.empty());
  QVERIFY(model_->pic1() == EnlargedScreen(path));
  QCOMPARE(form_->file_list_folder(), QDir(folder_).absolutePath());
  QCOMPARE(form_->findChild<QListWidget*>("File2")->currentItem()->text(), QString("g4.tim"));
}

QTEST_MAIN(ReadbackTest)
#include "gui_readback_test.moc"
