#include "platform/file_text.h"
#include "platform/system.h"

namespace tarnwick {

std::string EntryToFileText(const QString& entry) {
    return PathToSystemEncoding(entry);
}

QString EntryFromFileText(std::string_view line) {
    return PathFromSystemEncoding(line);
}

}  // namespace tarnwick
