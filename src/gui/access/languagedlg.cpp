#include "gui/access/languagedlg.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>
#include <algorithm>
#include <utility>
#include <vector>

#include "core/access/translator.h"
#include "core/common/ini.h"
#include "gui/access/securitydlg.h"
#include "gui/common/uibuttonbox.h"
#include "gui/common/uitext.h"

namespace quillark {

LanguageDlg::LanguageDlg(Translator& tr, INI& settings, QWidget* parent)
    : QDialog(parent), translate(tr), ini(settings) {
  setModal(true);

  const int current = translate.GetLanguage();
  // Each entry remembers its language: several languages share the name
  // "NA", and the current one must be stored as itself, not as the first
  // language of that name.
  std::vector<std::pair<QString, int>> entries;
  for (int i = 0; i < Translator::LANGUAGES; ++i) {
    const QString name = QString::fromStdString(translate.LanguageName(i));
    if (name.isEmpty()) continue;
    if (i == current || name != QLatin1String("NA")) entries.emplace_back(name, i);
  }
  std::stable_sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) {
    return QString::localeAwareCompare(a.first.toLower(), b.first.toLower()) < 0;
  });

  languages = new QComboBox(this);
  languages->setMinimumContentsLength(16);
  for (const auto& [name, index] : entries) languages->addItem(name, index);
  languages->setCurrentIndex(languages->findData(current));

  auto* row = new QHBoxLayout;
  label = new QLabel(this);
  row->addWidget(label);
  row->addWidget(languages, 1);

  auto* box = new UiButtonBox(&translate, QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(box, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(box, &QDialogButtonBox::rejected, this, &QDialog::reject);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(row);
  layout->addSpacing(8);
  layout->addWidget(box);
  layout->setSizeConstraint(QLayout::SetFixedSize);

  translate.SetLanguage(current);
  Retranslate();
}

void LanguageDlg::Retranslate() {
  setWindowTitle(UiText(translate, 82600, "Set language"));
  // The label is the menu command's word.
  label->setText(PlainUiText(translate, 69000, "&Language..."));
}

void LanguageDlg::changeEvent(QEvent* e) {
  if (IsLanguageChange(e)) Retranslate();
  QDialog::changeEvent(e);
}

int LanguageDlg::SelectedLanguage() const {
  const QVariant v = languages->currentData();
  return v.isValid() ? v.toInt() : -1;
}

void LanguageDlg::accept() {
  const int language = SelectedLanguage();
  // A stored language outside the table has no entry; with nothing chosen
  // there is nothing to store, and OK leaves the setting alone.
  if (language < 0) {
    QDialog::reject();
    return;
  }
  ini.WriteInt("Product", "Language", language);
  translate.SetLanguage(language);
  QDialog::accept();
}

void LanguageDlg::showEvent(QShowEvent* e) {
  QDialog::showEvent(e);
  CentreOnScreen(*this);
}

}  // namespace quillark
