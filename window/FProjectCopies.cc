// Copies of a project window: another window's settings and texts taken over
// (Duplicate), and the window's copy of itself for the recovery store, what
// its controls show now, written without touching the window.
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScopedValueRollback>

#include <string>

#include "engine/PublishedProperties.h"
#include "gui/BackgroundWork.h"
#include "gui/TextBridge.h"
#include "project/IntegerText.h"
#include "project/ProjectDocument.h"
#include "window/FProject.h"
#include "window/MemoLines.h"

namespace orvana {
namespace {

// Every published setting and text of from, the ones without a control of
// their own included, but not the pages.
void CopyPublishedSettings(const TSiteGenerator& from, TSiteGenerator& to) {
  for (const auto& property : SiteGeneratorClass().properties) {
    switch (property.kind) {
      case TPropKind::String:
        property.SetString(to, property.GetString(from));
        break;
      case TPropKind::Integer:
        property.SetInteger(to, property.GetInteger(from));
        break;
      case TPropKind::StringList:
        property.SetList(to, property.GetList(from));
        break;
      case TPropKind::Collection:
        break;
    }
  }
}

}  // namespace

void TSiteProject::CopyFrom(TSiteProject& source) {
  // What the source shows, which may be newer than its generator, goes into
  // its document first; then every published setting and text and the
  // extras (the pages belong to the source's last generation).
  source.ControlsToDocument();
  CopyPublishedSettings(*source.FGenerator, *FGenerator);
  FGenerator->SetExtras(source.FGenerator->Extras());
  {
    const QScopedValueRollback<bool> quiet(m_trackEdits, false);
    GeneratorToForm();
  }
  SetModified(true);
  emit SiteChanged();
}

void TSiteProject::WriteRecoveryCopy(const QString& fileName) const {
  const std::string name = fileName.toStdString();
  TProjectDocument copy;
  TSiteGenerator& generator = copy.Generator();
  // Every published setting and text the generator holds (not its pages:
  // they are the last generation's, made again by the next one) ...
  CopyPublishedSettings(*FGenerator, generator);
  // ... then what the controls show, as a save would take it but without
  // its boxes: a number that is no number and a folder Windows-1251 cannot
  // spell keep the generator's value.
  int32_t value = 0;
  if (TryStrToInt(ToEngine(Edit2->text()), value)) generator.SetMinCharsPerPage(value);
  if (TryStrToInt(ToEngine(Edit3->text()), value)) generator.SetMaxCharsPerPage(value);
  generator.SetSiteTitle(ToEngine(Edit1->text()));
  if (SpelledInEngine(Edit4->text())) generator.SetSavePath(Edit4->text().toStdString());
  generator.SetExtras(extrasOfControls());
  const QString raw[] = {MemoRawText(*Memo2), MemoRawText(*Memo4), MemoRawText(*Memo5),
                         MemoRawText(*Memo6), MemoRawText(*Memo1)};
  const auto write = [&] {
    copy.SetMemos({LinesOfMemoText(raw[0]), LinesOfMemoText(raw[1]), LinesOfMemoText(raw[2]),
                   LinesOfMemoText(raw[3]), LinesOfMemoText(raw[4])});
    copy.SaveToFile(name);
  };
  qsizetype characters = 0;
  for (const QString& text : raw) characters += text.size();
  // As MemosToGenerator: large texts while the windows keep painting.
  if (characters < (qsizetype{1} << 20))
    write();
  else
    RunKeepingWindowsPainted(write);
}

}  // namespace orvana
