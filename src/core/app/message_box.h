#pragma once

#include "core/app/prompter.h"

namespace qv {

// A message box with string `id` under the usual caption.
inline Message messageBox(int id, Icon icon, Buttons buttons = Buttons::Ok) {
    Message m;
    m.stringId = id;
    m.icon = icon;
    m.buttons = buttons;
    return m;
}

}  // namespace qv
