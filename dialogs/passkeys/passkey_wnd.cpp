#include "dialogs/passkeys/passkey_wnd.h"

#include "dialogs/message_box/message_box.h"
#include "dialogs/passkeys/passkey_texts.h"
#include "toolkit/dialog_builder.h"
#include "toolkit/list.h"

namespace kelvora {
namespace {

constexpr int kDismissedCloseCode = 2;

QString SenderName(const TNotifyUI& msg) {
    return msg.pSender == nullptr ? QString() : msg.pSender->GetName();
}

}  // namespace

CPasskeyWnd::CPasskeyWnd(FidoDevice& device, WatchdogPacer& pacer)
    : CFingerprintDialogBase(QStringLiteral("managePasskeys.xml")),
      device_(device),
      pacer_(pacer) {}

CPasskeyWnd::~CPasskeyWnd() {
    if (GetHWND() && !IsClosed()) {
        DispatchMessage(kWmClose, 0, 0);
    }
    watchdog_.Stop();
}

void CPasskeyWnd::InitWindow() {
    list_ = dynamic_cast<CListUI*>(FindControl(QStringLiteral("list_passkeys")));
    summary_ = FindControl(QStringLiteral("label_summary"));
    message_ = FindControl(QStringLiteral("label_message"));
    deleteButton_ = FindControl(QStringLiteral("btn_delete"));
    watchdog_.Start(device_.State().deviceAbsent, GetHWND(), kWatchdogPeriodMs,
                    CloseDelivery::kPost, pacer_);
    StartReading();
}

void CPasskeyWnd::OnFinalMessage() {
    watchdog_.Stop();
    CFingerprintDialogBase::OnFinalMessage();
}

void CPasskeyWnd::SetBusy(bool busy, const QString& message) {
    busy_ = busy;
    if (deleteButton_ != nullptr) {
        deleteButton_->SetEnabled(!busy && list_ != nullptr && list_->GetCurSel() >= 0);
    }
    SetTextOf(message_, message);
}

void CPasskeyWnd::StartReading() {
    SetBusy(true, {});
    SetTextOf(summary_, QString::fromUtf8(passkey_text::kLoading));
    StartNextWorker([this](WindowHandle window) {
        Reading reading;
        reading.listing = ListPasskeysOnKey(device_, reading.sites);
        if (reading.listing.succeeded) {
            reading.metadata = ReadPasskeyMetadataOnKey(device_, reading.counts);
        }
        {
            const std::lock_guard<std::mutex> lock(readingMutex_);
            reading_ = std::move(reading);
        }
        PostWindowMessage(window, WM_PASSKEYS_READ);
    });
}

void CPasskeyWnd::ShowReading() {
    Reading reading;
    {
        const std::lock_guard<std::mutex> lock(readingMutex_);
        reading = std::move(reading_);
    }
    // Rows of an earlier reading must not stay: their passkeys may be gone.
    list_->RemoveAll();
    rows_.clear();
    sites_ = reading.listing.succeeded ? std::move(reading.sites) : std::vector<PasskeySite>{};
    for (std::size_t s = 0; s < sites_.size(); ++s) {
        for (std::size_t k = 0; k < sites_[s].passkeys.size(); ++k) {
            CDialogBuilder builder;
            CControlUI* root =
                builder.Create(QString::fromLatin1(kPasskeyRowLayout), this, &GetPaintManager());
            auto* row = dynamic_cast<CListContainerElementUI*>(root);
            if (row == nullptr) {
                delete root;
                continue;
            }
            row->SetHeader(list_->GetHeader());
            if (!list_->Add(row)) {
                delete row;
                continue;
            }
            row->SetTag(rows_.size());
            rows_.emplace_back(s, k);
            SetTextOf(row->FindSubControl(QStringLiteral("label_site")),
                      passkey_text::SiteText(sites_[s]));
            SetTextOf(row->FindSubControl(QStringLiteral("label_user")),
                      passkey_text::UserText(sites_[s].passkeys[k]));
        }
    }
    if (!reading.listing.succeeded) {
        SetTextOf(summary_, {});
        SetBusy(false, QString::fromUtf8(passkey_text::kReadFailed));
        return;
    }
    const std::size_t count = PasskeyCount(sites_);
    SetTextOf(summary_, count == 0
                            ? QString::fromUtf8(passkey_text::kNone)
                            : passkey_text::Summary(count, sites_.size(),
                                                    reading.metadata.succeeded
                                                        ? std::optional(reading.counts.remaining)
                                                        : std::nullopt));
    if (!rows_.empty()) {
        list_->SelectItem(0, false);
    }
    SetBusy(false, {});
}

void CPasskeyWnd::DeleteSelected() {
    const int row = list_->GetCurSel();
    if (busy_ || row < 0 || static_cast<std::size_t>(row) >= rows_.size()) {
        return;
    }
    const auto [s, k] = rows_[static_cast<std::size_t>(row)];
    const PasskeySite& site = sites_[s];
    const Passkey& passkey = site.passkeys[k];
    if (ShowMessageBox(GetHWND(), QString::fromUtf8(passkey_text::kConfirmTitle),
                       passkey_text::ConfirmDeletion(site, passkey),
                       kMbOkCancel | kMbIconWarning) != kIdOk ||
        IsClosed()) {
        return;
    }
    SetBusy(true, {});
    StartNextWorker([this, id = passkey.credentialId](WindowHandle window) {
        const KeyOutcome outcome = DeletePasskeyOnKey(device_, id);
        PostWindowMessage(window, WM_PASSKEY_DELETED, outcome.succeeded ? 1 : 0);
    });
}

void CPasskeyWnd::Notify(TNotifyUI& msg) {
    const QString name = SenderName(msg);
    if (msg.sType == QLatin1String("click")) {
        if (name == QLatin1String("btn_delete")) {
            DeleteSelected();
            return;
        }
        if (name == QLatin1String("closebtn")) {
            Close(kDismissedCloseCode);
            return;
        }
    } else if (msg.sType == QLatin1String("itemselect") && msg.pSender == list_ &&
               deleteButton_ != nullptr) {
        deleteButton_->SetEnabled(!busy_ && list_->GetCurSel() >= 0);
    }
    CFingerprintDialogBase::Notify(msg);
}

LRESULT CPasskeyWnd::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_PASSKEYS_READ) {
        ShowReading();
        return 0;
    }
    if (msg == WM_PASSKEY_DELETED) {
        if (wParam != 0) {
            ++deleted_;
        } else {
            ShowMessageBox(GetHWND(), QString::fromUtf8(kApplicationTitle),
                           QString::fromUtf8(passkey_text::kDeleteFailed), kMbIconError);
        }
        // Either way the list is brought to what the key holds now.
        if (!IsClosed()) {
            StartReading();
        }
        return 0;
    }
    return CFingerprintDialogBase::HandleMessage(msg, wParam, lParam);
}

}  // namespace kelvora
