#include "GUI/Dialogs/HelpTable.h"

#include "GUI/ProgramFont.h"
#include "System/CurrentLanguage.h"

namespace GUI {

int HelpTable::Index(int id) const
{
    for (const HelpEntry& entry : entries_) {
        if (id >= entry.firstId && id <= entry.lastId)
            return entry.index;
    }
    return -1;
}

QString HelpTable::Text(int id) const
{
    const int index = Index(id);
    if (index < 0)
        return {};
    const auto language = System::CurrentLanguage();
    if (index >= TextTableHelp)
        return FromTableText(language->GetText(index - TextTableHelp));
    return FromTableText(source_ == HelpSource::StatusInfo ? language->GetStatusInfo(index)
                                                           : language->GetInformation(index));
}

} // namespace GUI
