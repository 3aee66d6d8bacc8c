// Feeds arbitrary bytes to the dialog template reader; a template that parses must hold
// items that lie inside the input.
#include "ui/dialog_template_parser.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    DialogTemplateData t;
    if (ParseDialogTemplate(data, size, &t)) {
        if (t.items.size() != t.itemCount || t.headerEnd > size) {
            std::abort();
        }
        for (const TemplateItem& item : t.items) {
            if (item.offset % 4 != 0 || item.offset + 24 > size) {
                std::abort();
            }
        }
    }
    return 0;
}
