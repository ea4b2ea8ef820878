// The project window's copy of itself for the recovery store: what its
// controls show now, written without touching the window.
#include <QLineEdit>
#include <QPlainTextEdit>

#include <string>

#include "engine/PublishedProperties.h"
#include "gui/BackgroundWork.h"
#include "gui/TextBridge.h"
#include "project/IntegerText.h"
#include "project/ProjectDocument.h"
#include "window/FProject.h"
#include "window/MemoLines.h"

namespace orvana {

void TSiteProject::WriteRecoveryCopy(const QString& fileName) const {
  const std::string name = EngineFileName(fileName);
  TProjectDocument copy;
  TSiteGenerator& generator = copy.Generator();
  // Every published setting and text the generator holds (not its pages:
  // they are the last generation's, made again by the next one) ...
  for (const auto& property : SiteGeneratorClass().properties) {
    switch (property.kind) {
      case TPropKind::String:
        property.SetString(generator, property.GetString(*FGenerator));
        break;
      case TPropKind::Integer:
        property.SetInteger(generator, property.GetInteger(*FGenerator));
        break;
      case TPropKind::StringList:
        property.SetList(generator, property.GetList(*FGenerator));
        break;
      case TPropKind::Collection:
        break;
    }
  }
  // ... then what the controls show, as a save would take it but without
  // its boxes: a number that is no number and a folder Windows-1251 cannot
  // spell keep the generator's value.
  int32_t value = 0;
  if (TryStrToInt(ToEngine(Edit2->text()), value)) generator.SetMinCharsPerPage(value);
  if (TryStrToInt(ToEngine(Edit3->text()), value)) generator.SetMaxCharsPerPage(value);
  generator.SetSiteTitle(ToEngine(Edit1->text()));
  if (SpelledInEngine(Edit4->text())) generator.SetSavePath(ToEngine(Edit4->text()));
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
