// Rows of the fingerprint list: one per enrolled template, the display name on the left and
// the enrolment time (or "-") on the right; the row's tag is the template's slot number,
// which removal and renaming act on.
#pragma once

#include <QString>
#include <QTimeZone>
#include <cstdint>

namespace kelvora {

class CListUI;
class CListContainerElementUI;
class IDialogBuilderCallback;
class CPaintManagerUI;

inline constexpr const char* kFingerprintRowLayout = "sigle_list_item_column.xml";
// What the time column shows when there is no time.
inline constexpr const char* kNoTimeText = "-";

// What a stored name (already in UTF-16) shows: the name column and the time column.
struct FingerprintRowTexts {
    QString name;
    QString time;
};
FingerprintRowTexts FingerprintRowTextsFor(const QString& storedName, const QTimeZone& zone);

// Appends `row` to `list` with tag `templateId` and the texts of `name`. The list takes the
// row; a row the list refuses is destroyed and -1 returned, else templateId. Uses only the
// plain list's interface, so it works on the list the layout builds. `state` picks the time
// column ("label_state_<state>"); the tool only uses 1.
std::int64_t AddFingerprintRow(CListUI& list, std::uint16_t templateId, int state,
                               CListContainerElementUI* row, const QString& name,
                               const QTimeZone& zone);

// Builds a row from the row template; nullptr when it cannot be built.
CListContainerElementUI* BuildFingerprintRow(IDialogBuilderCallback* callback,
                                             CPaintManagerUI* manager);

}  // namespace kelvora
