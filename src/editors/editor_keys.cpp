#include "editors/editor_keys.h"

#include <algorithm>

namespace editors {

int separatorLimit(Editor editor)
{
    switch (editor) {
    case Editor::Edit1:  // coefficients A, B, C
    case Editor::Edit2:
    case Editor::Edit3: return 1;
    case Editor::Edit6:  // date
        return 2;
    case Editor::Edit4:  // serial numbers
    case Editor::Edit5: break;
    }
    return 0;
}

int separatorCount(std::u16string_view text)
{
    return static_cast<int>(
        std::count_if(text.begin(), text.end(), [](char16_t c) { return c == u',' || c == u'.'; }));
}

KeyVerdict filterEditorKey(Editor editor, char16_t typed, std::u16string_view remainingText)
{
    if (typed >= u'0' && typed <= u'9')
        return KeyVerdict::Accept;
    if (typed == kBackspace)
        return KeyVerdict::Accept;
    if (typed == kEnter)
        return KeyVerdict::MoveFocus;
    if (typed == u',' || typed == u'.') {
        return separatorCount(remainingText) < separatorLimit(editor) ? KeyVerdict::AcceptComma
                                                                      : KeyVerdict::Refuse;
    }
    // Minus, letters, blanks and the control characters of the clipboard
    // shortcuts alike: nothing else belongs in these editors.
    return KeyVerdict::Refuse;
}

}  // namespace editors
