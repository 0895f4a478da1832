#include "platform/ui/resources.h"

const TDialogTemplate* TModule::FindDialog(TResId id) const {
  for (const TDialogTemplate& dialog : Dialogs)
    if (dialog.Id == id) return &dialog;
  return nullptr;
}

const TIconTemplate* TModule::FindIcon(TResId id) const {
  for (const TIconTemplate& icon : Icons)
    if (icon.Id == id) return &icon;
  return nullptr;
}
