#include "dialogs/passkeys/passkey_texts.h"

namespace kelvora::passkey_text {
namespace {

QString Utf8(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

QString Summary(std::size_t passkeys, std::size_t sites, std::optional<std::uint32_t> remaining) {
    const QString held = QStringLiteral("保存数：%1件（%2サイト）").arg(passkeys).arg(sites);
    return remaining ? held + QStringLiteral("　空き：%1件").arg(*remaining) : held;
}

QString ConfirmDeletion(const PasskeySite& site, const Passkey& passkey) {
    return QStringLiteral(
               "次のパスキーを削除します。\nサイト：%1\nユーザー：%2\n"
               "削除したパスキーは元に戻せません。よろしいですか？")
        .arg(SiteText(site), UserText(passkey));
}

QString ResetErases(std::uint32_t count) {
    return QStringLiteral(
               "このデバイスには%1件のパスキーが保存されています。\n"
               "リセットすると、全てのパスキーも消去されます。")
        .arg(count);
}

QString SiteText(const PasskeySite& site) {
    const QString id = Utf8(site.rpId);
    const QString name = Utf8(site.rpName);
    return name.isEmpty() || name == id ? id : QStringLiteral("%1 (%2)").arg(name, id);
}

QString UserText(const Passkey& passkey) {
    const QString user = Utf8(passkey.userName);
    const QString shown = Utf8(passkey.displayName);
    if (user.isEmpty()) {
        // A key may keep no name at all; the user is then only its id.
        return shown.isEmpty() ? QStringLiteral("（名前なし）") : shown;
    }
    return shown.isEmpty() || shown == user ? user : QStringLiteral("%1 (%2)").arg(shown, user);
}

}  // namespace kelvora::passkey_text
