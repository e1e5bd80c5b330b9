#include "ui/save_for_size_dialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/byte_size.h"
#include "core/message_sink.h"
#include "core/number_text.h"
#include "core/string_table.h"
#include "gif/gif_writer.h"
#include "imaging/display_psnr.h"

namespace fw {
namespace {

QString Text(int id) { return QString::fromUtf8(MessageText(id)); }

std::string Bytes(int64_t bytes) { return GroupThousands(bytes, ','); }

std::string Quality(double psnr) {
  return psnr >= kIdenticalPsnr ? std::string(MessageText(msg::kSizeLossless)) : FormatText("PSNR %.1f dB", psnr);
}

}  // namespace

SaveForSizeDialog::SaveForSizeDialog(AnimHeader& document, QWidget* parent)
    : QDialog(parent), document_(document), trial_(document) {
  setObjectName(QStringLiteral("SaveForSizeDialog"));
  setWindowTitle(Text(msg::kSaveForSizeTitle));
  auto* layout = new QVBoxLayout(this);
  auto* form = new QFormLayout;
  target_ = new QLineEdit(this);
  target_->setObjectName(QStringLiteral("sizeTarget"));
  // Half the present size is where most people start.
  const int32_t now = EncodedSize(&document_, false, nullptr);
  if (now > 0) target_->setText(QString::fromStdString(ShortByteSize(now / 2)));
  form->addRow(Text(msg::kSizeTargetLabel), target_);
  layout->addLayout(form);
  start_ = new QPushButton(Text(msg::kSizeStart), this);
  start_->setObjectName(QStringLiteral("sizeStart"));
  layout->addWidget(start_);
  busy_ = new QProgressBar(this);
  busy_->setObjectName(QStringLiteral("sizeBusy"));
  busy_->setRange(0, 0);
  busy_->hide();
  layout->addWidget(busy_);
  progress_ = new QLabel(this);
  progress_->setObjectName(QStringLiteral("sizeProgress"));
  layout->addWidget(progress_);
  result_ = new QLabel(this);
  result_->setObjectName(QStringLiteral("sizeResult"));
  result_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  layout->addWidget(result_);
  buttons_ = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  buttons_->button(QDialogButtonBox::Ok)->setEnabled(false);
  buttons_->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("sizeApply"));
  layout->addWidget(buttons_);
  connect(buttons_, &QDialogButtonBox::accepted, this, &SaveForSizeDialog::accept);
  connect(buttons_, &QDialogButtonBox::rejected, this, &SaveForSizeDialog::reject);
  connect(start_, &QPushButton::clicked, this, [this] { startPlan(); });
  connect(target_, &QLineEdit::returnPressed, this, [this] { startPlan(); });
  start_->setDefault(true);
}

SaveForSizeDialog::~SaveForSizeDialog() { trial_.cancel(); }

bool SaveForSizeDialog::startPlan() {
  const std::optional<int64_t> target = ParseByteSize(target_->text().toStdString());
  buttons_->button(QDialogButtonBox::Ok)->setEnabled(false);
  if (!target) {
    result_->setText(Text(msg::kSizeNotASize));
    return false;
  }
  count_ = 0;
  result_->clear();
  progress_->clear();
  busy_->show();
  start_->setEnabled(false);
  // The worker's reports come back on this thread, and not at all once the dialog is gone.
  trial_.start(
      *target,
      [this](const SizeCandidate& c) {
        QMetaObject::invokeMethod(this, [this, c] { candidateTried(c, ++count_); }, Qt::QueuedConnection);
      },
      [this] { QMetaObject::invokeMethod(this, [this] { planFinished(); }, Qt::QueuedConnection); });
  return true;
}

void SaveForSizeDialog::candidateTried(const SizeCandidate& c, int count) {
  progress_->setText(QString::fromStdString(FormatText(MessageText(msg::kSizeTrying), count,
                                                       DescribeSizeSettings(c.settings).c_str(),
                                                       Bytes(c.bytes).c_str())));
}

void SaveForSizeDialog::planFinished() {
  if (trial_.running()) return;  // a newer plan started meanwhile
  busy_->hide();
  start_->setEnabled(true);
  const SizeCandidate chosen = trial_.chosen();
  const std::string target = Bytes(ParseByteSize(target_->text().toStdString()).value_or(0));
  switch (trial_.outcome()) {
    case SizePlan::kFits:
      result_->setText(QString::fromStdString(FormatText(MessageText(msg::kSizeChosen),
                                                         DescribeSizeSettings(chosen.settings).c_str(),
                                                         Bytes(chosen.bytes).c_str(), target.c_str(),
                                                         Quality(chosen.psnr).c_str())));
      buttons_->button(QDialogButtonBox::Ok)->setEnabled(true);
      buttons_->button(QDialogButtonBox::Ok)->setFocus();
      break;
    case SizePlan::kNothingFits:
      result_->setText(QString::fromStdString(FormatText(MessageText(msg::kSizeNothingFits), target.c_str(),
                                                         trial_.triedCount(), Bytes(trial_.smallest()).c_str())));
      break;
    default:
      result_->setText(Text(msg::kSizeFailed));
      break;
  }
}

void SaveForSizeDialog::accept() {
  if (planning() || trial_.outcome() != SizePlan::kFits) return;
  applied_ = trial_.apply(document_);
  QDialog::accept();
}

void SaveForSizeDialog::reject() {
  trial_.cancel();
  QDialog::reject();
}

}  // namespace fw
