// What the passkey window and the main window say of passkeys.
#pragma once

#include <QString>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "ctap/passkey_record.h"

namespace kelvora::passkey_text {

inline constexpr const char* kLoading = "パスキーを読み込んでいます…";
inline constexpr const char* kNone = "パスキーは保存されていません。";
inline constexpr const char* kReadFailed = "パスキーの読み込みに失敗しました。";
inline constexpr const char* kDeleteFailed = "パスキーの削除に失敗しました。";
inline constexpr const char* kNeedsPin = "パスキーを管理するには、先にPINを設定してください。";
inline constexpr const char* kConfirmTitle = "警告";

// "保存数：3件（2サイト）　空き：22件"; without the free room when the key did not tell it.
QString Summary(std::size_t passkeys, std::size_t sites, std::optional<std::uint32_t> remaining);
// The deletion's question, naming the site and the user.
QString ConfirmDeletion(const PasskeySite& site, const Passkey& passkey);
// The box before a reset's own warning, for a key holding `count` passkeys.
QString ResetErases(std::uint32_t count);
// A row's texts: the site (its id, and its name where that says more) and the user.
QString SiteText(const PasskeySite& site);
QString UserText(const Passkey& passkey);

}  // namespace kelvora::passkey_text
