// Window tests of bad files and failing saves: a message box names the file and the reason, and
// the pictures, tables and settings stay exactly as they were.
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QtTest>
#include <cerrno>
#include <cstring>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "core/model.h"
#include "output/file_write.h"
#include "ui/form1.h"
#include "ui/form2.h"
#include "ui/picture_file.h"

using tvcpix::Form1;
using tvcpix::Form2;
using tvcpix::Model;

namespace {

QByteArray ReadAll(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool WriteAll(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

QByteArray Encoded(const QImage& image, const char* format) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, format);
  return bytes;
}

QImage Stripes(int w, int h) {
  QImage image(w, h, QImage::Format_RGB888);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) image.setPixelColor(x, y, QColor(x * 5 % 256, y * 9 % 256, 90));
  }
  return image;
}

void Put32(QByteArray& b, int at, quint32 v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<char>(v >> (8 * i));
}

// Everything a refused load or a failed save must leave alone.
struct Snapshot {
  std::vector<tvcpix::Surface> surfaces;
  std::vector<tvcpix::PaletteEntry> palette;
  tvcpix::PatternFlags flags;
  std::vector<std::string> texts;
  std::vector<int> numbers;

  explicit Snapshot(const Model& m) {
    surfaces = {m.pic1(), m.pic5(), m.pic2(), m.tvc2(), m.tvc4(), m.tvc16(), m.pic9()};
    for (int i = 0; i < m.palette().size(); ++i) palette.push_back(m.palette()[i]);
    flags = m.pattern_flags();
    texts = {m.source_colors_caption(), m.result_colors_caption(), m.patterns_used_caption(),
             m.probe_caption(), m.output_base_path()};
    numbers = {static_cast<int>(m.mode()),
               static_cast<int>(m.method()),
               m.resize(),
               m.auto_palette(),
               static_cast<int>(m.label4()),
               static_cast<int>(m.convert_count())};
    for (int n = 1; n <= 4; ++n) numbers.push_back(m.slider(n));
    for (int i = 0; i < 4; ++i) numbers.push_back(static_cast<int>(m.label2(i)));
    for (int i = 0; i < 2; ++i) numbers.push_back(static_cast<int>(m.label3(i)));
  }
  bool operator==(const Snapshot& o) const {
    return surfaces == o.surfaces && palette == o.palette && flags.excluded == o.flags.excluded &&
           flags.swapped == o.flags.swapped && texts == o.texts && numbers == o.numbers;
  }
};

}  // namespace

class GuiHostileTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase();
  void init();
  void cleanup();

  void RefusedFileChangesNothing_data();
  void RefusedFileChangesNothing();
  void FileTurnedIntoFifoAfterListing();
  void SaveAsFailingPartWayNamesFileAndReplacedOnes_data();
  void SaveAsFailingPartWayNamesFileAndReplacedOnes();
  void SaveFailingOnFullDiskKeepsOldFiles();

 private:
  template <typename T = QWidget>
  T* Find(const QString& name) {
    T* w = form_->findChild<T*>(name);
    if (w == nullptr) w = editor_->findChild<T*>(name);
    if (w == nullptr) qWarning("no control %s", qPrintable(name));
    return w;
  }
  void Click(QWidget* w, QPoint at = QPoint(), Qt::MouseButton button = Qt::LeftButton) {
    QTest::mouseClick(w, button, Qt::NoModifier, at.isNull() ? w->rect().center() : at);
  }
  void ClickFile(const QString& name);

  QTemporaryDir tmp_;
  QString pictures_;
  std::unique_ptr<Model> model_;
  std::unique_ptr<Form2> editor_;
  std::unique_ptr<Form1> form_;
  std::vector<std::pair<QMessageBox::Icon, QString>> messages_;
  std::deque<QString> save_paths_;
};

void GuiHostileTest::initTestCase() {
  QVERIFY(tmp_.isValid());
  pictures_ = tmp_.filePath("pictures");
  QVERIFY(QDir().mkpath(pictures_));
  const QDir dir(pictures_);
  QVERIFY(Stripes(80, 60).save(dir.filePath("good.bmp")));

  // Run-length BMP whose data stops part way.
  QByteArray rle(54 + 8, '\0');
  rle[0] = 'B';
  rle[1] = 'M';
  Put32(rle, 10, 54 + 8);
  Put32(rle, 14, 40);
  Put32(rle, 18, 16);
  Put32(rle, 22, 16);
  rle[26] = 1;
  rle[28] = 8;
  Put32(rle, 30, 1);
  Put32(rle, 46, 2);
  rle.append("\x10\x01\x00\x00\x10\x01", 6);  // two rows of sixteen, then nothing
  QVERIFY(WriteAll(dir.filePath("cut rle.bmp"), rle));

  // A JPEG whose scan stops early and is closed by an end marker.
  QByteArray jpeg = Encoded(Stripes(64, 48), "JPEG");
  const int sos = jpeg.indexOf("\xFF\xDA");
  QVERIFY(sos > 0);
  jpeg.truncate(sos + 40);
  jpeg.append("\xFF\xD9", 2);
  QVERIFY(WriteAll(dir.filePath("damaged photo.jpg"), jpeg));

  // A 60000 x 60000 header in a tiny file.
  QByteArray bomb(54 + 16, '\0');
  bomb[0] = 'B';
  bomb[1] = 'M';
  Put32(bomb, 10, 54);
  Put32(bomb, 14, 40);
  Put32(bomb, 18, 60000);
  Put32(bomb, 22, 60000);
  bomb[26] = 1;
  bomb[28] = 24;
  QVERIFY(WriteAll(dir.filePath("bomb.bmp"), bomb));

  QVERIFY(WriteAll(dir.filePath("notes.bmp"), "Dear diary, this is not a picture.\n"));
  QVERIFY(WriteAll(dir.filePath("png in disguise é.jpg"), Encoded(Stripes(7, 5), "PNG")));
  QCOMPARE(mkfifo(QFile::encodeName(dir.filePath("pipe.jpg")).constData(), 0600), 0);
  QVERIFY(QFile::link("/dev/zero", dir.filePath("zero.bmp")));
  QVERIFY(QFile::link("/dev/null", dir.filePath("null.jpg")));
  QVERIFY(QFile::link(dir.filePath("missing.bmp"), dir.filePath("dangling.bmp")));
}

void GuiHostileTest::init() {
  // A file that blocks the load must fail the run, not hang it.
  alarm(120);
  model_ = std::make_unique<Model>();
  editor_ = std::make_unique<Form2>(model_.get());
  form_ = std::make_unique<Form1>(model_.get(), editor_.get());
  messages_.clear();
  save_paths_.clear();
  form_->show_message = [this](QMessageBox::Icon icon, const QString& text) {
    messages_.emplace_back(icon, text);
  };
  form_->ask_yes_no = [](const QString&) { return true; };
  form_->choose_save_path = [this](const QString&) {
    if (save_paths_.empty()) return QString();
    const QString p = save_paths_.front();
    save_paths_.pop_front();
    return p;
  };
  form_->SetFileListFolder(pictures_);
  form_->show();
  editor_->show();
  QVERIFY(QTest::qWaitForWindowExposed(form_.get()));

  // A picture loaded and worked on: mode, method, a slider, a swatch and a pattern changed.
  ClickFile("good.bmp");
  QVERIFY(messages_.empty());
  Click(Find("Option2(1)"), QPoint(6, 8));
  Click(Find("Option1(3)"), QPoint(6, 8));
  Find<QScrollBar>("HScroll3")->setValue(64);
  Click(Find("Label1(12)"));
  Click(Find("Label2(2)"));
  Click(Find("Option2(2)"), QPoint(6, 8));
  Click(Find("Option1(17)"), QPoint(6, 8));
  Click(Find("Pic9"), QPoint(8, 8), Qt::RightButton);
  Click(Find("Pic2"), QPoint(100, 100));
}

void GuiHostileTest::cleanup() {
  tvcpix::InjectWriteFaultForTesting(tvcpix::WriteStep::kNone, 0, 0);
  form_.reset();
  editor_.reset();
  model_.reset();
  alarm(0);
}

void GuiHostileTest::ClickFile(const QString& name) {
  auto* list = Find<QListWidget>("File2");
  const QList<QListWidgetItem*> items = list->findItems(name, Qt::MatchExactly);
  QCOMPARE(items.size(), 1);
  list->scrollToItem(items.front());
  Click(list->viewport(), list->visualItemRect(items.front()).center());
}

void GuiHostileTest::RefusedFileChangesNothing_data() {
  QTest::addColumn<QString>("file");
  QTest::addColumn<QString>("reason");
  QTest::newRow("cut run-length") << "cut rle.bmp"
                                  << "truncated BMP";
  QTest::newRow("damaged JPEG") << "damaged photo.jpg"
                                << "damaged JPEG";
  QTest::newRow("bomb") << "bomb.bmp"
                        << "picture too large";
  QTest::newRow("text") << "notes.bmp"
                        << "not a picture";
  QTest::newRow("/dev/zero") << "zero.bmp"
                             << "not a regular file";
  QTest::newRow("/dev/null") << "null.jpg"
                             << "not a regular file";
}

void GuiHostileTest::RefusedFileChangesNothing() {
  QFETCH(QString, file);
  QFETCH(QString, reason);
  const Snapshot before(*model_);
  const QString label6 = Find<QLabel>("Label6")->text();
  const QString label7 = Find<QLabel>("Label7")->text();

  ClickFile(file);
  QCOMPARE(messages_.size(), std::size_t{1});
  QCOMPARE(messages_[0].first, QMessageBox::Warning);
  const QString path = QDir(pictures_).filePath(file);
  QVERIFY2(messages_[0].second.startsWith(path + ": " + reason), qPrintable(messages_[0].second));
  QVERIFY(before == Snapshot(*model_));
  QCOMPARE(Find<QLabel>("Label6")->text(), label6);
  QCOMPARE(Find<QLabel>("Label7")->text(), label7);
  QCOMPARE(Find<QScrollBar>("HScroll3")->value(), 64);
  QVERIFY(Find<QRadioButton>("Option1(17)")->isChecked());

  // The window still works: a sound file loads after the refused one.
  ClickFile("png in disguise é.jpg");
  QCOMPARE(messages_.size(), std::size_t{1});
  QCOMPARE(model_->pic1().width(), 7);
  QCOMPARE(Find<QScrollBar>("HScroll3")->value(), 50);
}

// A FIFO or a dangling link is not even listed; a picture swapped for a FIFO after the listing
// is refused at once.
void GuiHostileTest::FileTurnedIntoFifoAfterListing() {
  auto* list = Find<QListWidget>("File2");
  QVERIFY(list->findItems("pipe.jpg", Qt::MatchExactly).isEmpty());
  QVERIFY(list->findItems("dangling.bmp", Qt::MatchExactly).isEmpty());
  const QString path = QDir(pictures_).filePath("soon a pipe.bmp");
  QVERIFY(Stripes(8, 8).save(path));
  Click(Find("Command5"));
  QVERIFY(QFile::remove(path));
  QCOMPARE(mkfifo(QFile::encodeName(path).constData(), 0600), 0);
  const Snapshot before(*model_);
  ClickFile("soon a pipe.bmp");
  QCOMPARE(messages_.size(), std::size_t{1});
  QCOMPARE(messages_[0].second, path + ": not a regular file");
  QVERIFY(before == Snapshot(*model_));
  QFile::remove(path);
}

void GuiHostileTest::SaveAsFailingPartWayNamesFileAndReplacedOnes_data() {
  QTest::addColumn<QString>("failing");  // the extension whose write fails
  QTest::addColumn<int>("errnum");
  QTest::addColumn<QStringList>("replaced");
  QTest::newRow("disk full on .tim") << ".tim" << ENOSPC << QStringList{".bmp", ".bin"};
  QTest::newRow("I/O error on .bin") << ".bin" << EIO << QStringList{".bmp"};
  QTest::newRow("directory at .bin") << ".bin" << EISDIR << QStringList{".bmp"};
  QTest::newRow("disk full on .bmp") << ".bmp" << ENOSPC << QStringList{};
}

// "Save As" onto three existing files, one of which cannot be written: "Error #" with the
// number and the system's reason, the failing file and those already replaced are named, and
// every file holds either its complete old or its complete new content.
void GuiHostileTest::SaveAsFailingPartWayNamesFileAndReplacedOnes() {
  QFETCH(QString, failing);
  QFETCH(int, errnum);
  QFETCH(QStringList, replaced);
  QTemporaryDir out;
  const QString base = QDir(out.path()).filePath("holiday");
  const QStringList exts = {".bmp", ".bin", ".tim"};
  for (const QString& ext : exts) QVERIFY(WriteAll(base + ext, "old" + ext.toUtf8()));
  if (errnum == EISDIR) {
    QVERIFY(QFile::remove(base + failing));
    QVERIFY(QDir().mkdir(base + failing));
  } else {
    tvcpix::InjectWriteFaultForTesting(tvcpix::WriteStep::kWrite,
                                       static_cast<int>(exts.indexOf(failing)) + 1, errnum);
  }
  const QString folder_before = form_->file_list_folder();
  const Snapshot before(*model_);

  save_paths_.push_back(base);
  Click(Find("Command7"));
  QCOMPARE(messages_.size(), std::size_t{1});
  const QString text = messages_[0].second;
  QCOMPARE(messages_[0].first, QMessageBox::Critical);
  QVERIFY2(text.startsWith(QString("Error #%1 - %2").arg(errnum).arg(std::strerror(errnum))),
           qPrintable(text));
  QVERIFY2(text.contains(base + failing), qPrintable(text));
  for (const QString& ext : replaced) QVERIFY2(text.contains(base + ext), qPrintable(text));
  for (const QString& ext : exts) {
    if (ext == failing && errnum == EISDIR) continue;
    const QByteArray content = ReadAll(base + ext);
    if (replaced.contains(ext)) {
      QVERIFY(content != "old" + ext.toUtf8());
    } else {
      QCOMPARE(content, "old" + ext.toUtf8());
    }
  }
  QCOMPARE(
      QDir(out.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).size(), 3);
  QCOMPARE(form_->file_list_folder(), folder_before);
  // Only the base path changed, as the save command sets it before writing.
  const Snapshot after(*model_);
  QVERIFY(before.surfaces == after.surfaces);
  QCOMPARE(after.texts[4], base.toStdString());
  QVERIFY(before.flags.excluded == after.flags.excluded);
}

void GuiHostileTest::SaveFailingOnFullDiskKeepsOldFiles() {
  QTemporaryDir program;
  form_->set_program_folder(program.path());
  const QString base = QDir(program.path()).filePath("out24");
  Click(Find("Command3"));
  QVERIFY(messages_.empty());
  const QByteArray bmp = ReadAll(base + ".bmp"), bin = ReadAll(base + ".bin"),
                   tim = ReadAll(base + ".tim");
  QCOMPARE(tim.size(), 16400);

  // A different result, then a disk that fills up while the .bin file is written.
  Click(Find("Option2(0)"), QPoint(6, 8));
  tvcpix::InjectWriteFaultForTesting(tvcpix::WriteStep::kWrite, 2, ENOSPC);
  Click(Find("Command3"));
  QCOMPARE(messages_.size(), std::size_t{1});
  QVERIFY2(messages_[0].second.startsWith(
               QString("Error #%1 - %2").arg(ENOSPC).arg(std::strerror(ENOSPC))),
           qPrintable(messages_[0].second));
  QVERIFY(messages_[0].second.contains(base + ".bin"));
  QVERIFY(ReadAll(base + ".bmp") != bmp);  // the new picture was already in place
  QCOMPARE(ReadAll(base + ".bin"), bin);
  QCOMPARE(ReadAll(base + ".tim"), tim);
  QCOMPARE(QDir(program.path()).entryList(QDir::Files | QDir::Hidden).size(), 3);

  // Once the disk has room again, saving replaces all three.
  tvcpix::InjectWriteFaultForTesting(tvcpix::WriteStep::kNone, 0, 0);
  Click(Find("Command3"));
  QCOMPARE(messages_.size(), std::size_t{1});
  QVERIFY(ReadAll(base + ".bin") != bin);
  QVERIFY(ReadAll(base + ".tim") != tim);
}

QTEST_MAIN(GuiHostileTest)
#include "gui_hostile_test.moc"
