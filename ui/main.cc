// The tvcpix program: the model, the pattern editor beside the main window, and the event loop.
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QScreen>
#include <QStringList>
#include <algorithm>
#include <cstdio>

#include "core/version.h"
#include "engine/model.h"
#include "ui/form1.h"
#include "ui/form2.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  QApplication::setApplicationName("tvcpix");
  QApplication::setApplicationVersion(tvcpix::kVersion);

  // The first argument names the folder the file list starts in.
  QString folder = QDir::currentPath();
  const QStringList args = QApplication::arguments();
  if (args.size() > 1) {
    const QFileInfo info(args.at(1));
    if (info.isDir()) {
      folder = info.absoluteFilePath();
    } else {
      std::fprintf(stderr, "tvcpix: %s is not a folder; showing %s\n", qPrintable(args.at(1)),
                   qPrintable(QDir::toNativeSeparators(folder)));
    }
  }

  tvcpix::Model model;  // window start: swatches and patterns ready, nothing converted
  tvcpix::Form2 editor(&model);
  tvcpix::Form1 form1(&model, &editor);
  form1.SetFileListFolder(folder);

  form1.show();
  // The editor stands to the right of the main window, not modal.
  const QRect frame = form1.frameGeometry();
  QPoint beside(frame.right() + 8, frame.top());
  if (const QScreen* screen = form1.screen()) {
    const QRect avail = screen->availableGeometry();
    if (beside.x() + editor.frameGeometry().width() > avail.right()) {
      beside.setX(std::max(avail.left(), avail.right() - editor.frameGeometry().width()));
    }
  }
  editor.move(beside);
  editor.show();
  return QApplication::exec();
}
