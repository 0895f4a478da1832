#include "platform/ui/file_dialog.h"

#include <QFile>
#include <QFileDialog>
#include <cstring>

#include "platform/ui/input.h"

namespace {
DWORD lastError = 0;

// "Bitmap-Dateien|*.bmp;*.gif|Alle Dateien (*.*)|*.*|" as Qt name filters,
// "Bitmap-Dateien (*.bmp *.gif)". "*.*" means every file, also one without a
// dot. The dialog compares names without regard to letter case.
QStringList NameFilters(const std::string& filter) {
  QStringList parts = QString::fromUtf8(filter.c_str()).split(QLatin1Char('|'));
  QStringList filters;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    QStringList patterns = parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts);
    for (QString& pattern : patterns)
      if (pattern == QLatin1String("*.*")) pattern = QStringLiteral("*");
    filters << parts[i] + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) + QLatin1Char(')');
  }
  return filters;
}

void Configure(QFileDialog& dialog, const TOpenSaveDialog::TData& data, bool open) {
  // Qt's own dialog rather than the desktop's, the same everywhere.
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  // The description alone is shown, as the filter texts carry their patterns.
  dialog.setOption(QFileDialog::HideNameFilterDetails);
  dialog.setAcceptMode(open ? QFileDialog::AcceptOpen : QFileDialog::AcceptSave);
  dialog.setFileMode(open && (data.Flags & OFN_FILEMUSTEXIST) ? QFileDialog::ExistingFile
                                                               : QFileDialog::AnyFile);
  dialog.setOption(QFileDialog::DontConfirmOverwrite, !(data.Flags & OFN_OVERWRITEPROMPT));
  dialog.setFilter(dialog.filter() & ~QDir::CaseSensitive);
  if (!data.Filter.empty()) dialog.setNameFilters(NameFilters(data.Filter));
  if (!data.InitialDir.empty()) dialog.setDirectory(QFile::decodeName(data.InitialDir.c_str()));
  if (!data.DefExt.empty() && data.DefExt != "*")
    dialog.setDefaultSuffix(QString::fromUtf8(data.DefExt.c_str()));
  if (data.FileName[0]) dialog.selectFile(QFile::decodeName(data.FileName));
}
}  // namespace

TOpenSaveDialog::TData::TData(DWORD flags, const char* filter, char* customFilter,
                              const char* initialDir, const char* defExt)
    : Flags(flags),
      Filter(filter ? filter : ""),
      CustomFilter(customFilter),
      InitialDir(initialDir ? initialDir : ""),
      DefExt(defExt ? defExt : "") {}

TOpenSaveDialog::TOpenSaveDialog(TWindow* parent, TData& data, bool open)
    : Parent(parent), Data(data), Open(open) {}

int TOpenSaveDialog::Execute() {
  TModalScope modal;
  QFileDialog dialog(DialogOwner(Parent ? Parent->GetHandle() : nullptr));
  Configure(dialog, Data, Open);
  Data.Error = 0;
  int result = IDCANCEL;
  if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()) {
    QByteArray path = QFile::encodeName(dialog.selectedFiles().first());
    if (path.size() < MAX_PATH) {
      std::memcpy(Data.FileName, path.constData(), path.size() + 1);
      result = IDOK;
    } else {
      Data.Error = FNERR_BUFFERTOOSMALL;
    }
  }
  lastError = Data.Error;
  return result;
}

TFileOpenDialog::TFileOpenDialog(TWindow* parent, TData& data, TResId, const char*, TModule*)
    : TOpenSaveDialog(parent, data, true) {}

TFileSaveDialog::TFileSaveDialog(TWindow* parent, TData& data, TResId, const char*, TModule*)
    : TOpenSaveDialog(parent, data, false) {}

DWORD CommDlgExtendedError() { return lastError; }
