// Screen-reader access to our own controls through Microsoft Active
// Accessibility (what UI Automation also reads, through its MSAA proxy): an
// IAccessible for a window's client area that wraps the system's standard
// object (CreateStdAccessibleObject) and answers from an IAccessibleSource
// what the standard object cannot know: the name, the role, added states,
// the default action and parts of the window without windows of their own
// ("elements", such as the links of a label).
//
// The object holds its source weakly: assistive technology may keep an
// object longer than the control lives, and from then on the object answers
// RPC_E_DISCONNECTED instead of reaching into a destroyed control.
#pragma once

#include "UWinApi.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace qm {

// A part of a window that assistive technology sees as a child of the
// window's object, with child id 1, 2, ... in the order the source lists it.
struct TAccessibleElement {
    std::wstring Name;
    long Role = 0;   // ROLE_SYSTEM_*
    long State = 0;  // STATE_SYSTEM_*
    std::wstring DefaultAction;
    RECT ScreenRect{};
};

// What the object of one window tells beyond the standard object. Called on
// the window's thread.
class IAccessibleSource {
public:
    virtual ~IAccessibleSource() = default;
    // The window's name; empty: the standard object's (which drops "&").
    virtual std::wstring Name() = 0;
    // The window's role (ROLE_SYSTEM_*).
    virtual long Role() = 0;
    // States added to the standard object's (STATE_SYSTEM_*).
    virtual long AddedState() { return 0; }
    // Empty: the standard object's default action.
    virtual std::wstring DefaultAction() { return {}; }
    // False when the window has no default action of its own.
    virtual bool DoDefaultAction() { return false; }
    // The elements, in child-id order; when there are any, they are the
    // object's only children (the window then has no child windows).
    virtual std::vector<TAccessibleElement> Elements() { return {}; }
    // Acts as the element `child` (1-based) does on a click; false when it
    // has no action.
    virtual bool DoElementDefaultAction(int child) {
        static_cast<void>(child);
        return false;
    }
    // The element that has the keyboard focus (1-based), 0: none.
    virtual int FocusedElement() { return 0; }
};

// A child id as IAccessible takes it: a VT_I4 variant (CHILDID_SELF for
// the object itself).
VARIANT I4(long value);

// The window text of `window` (the name screen readers get for our
// controls: the standard object drops every "&" of it, as a mnemonic mark).
std::wstring WindowTextOf(HWND window);

// The answer to WM_GETOBJECT (`wParam`, `lParam` as the message brought
// them) for `window`: for OBJID_CLIENT our object over `source`, passed out
// with LresultFromObject; nothing for other object ids or when the object
// cannot be made (COM not initialised on this thread, no memory): the
// message then goes to DefWindowProc.
std::optional<LRESULT> AnswerGetObject(HWND window, WPARAM wParam, LPARAM lParam,
                                       const std::shared_ptr<IAccessibleSource>& source);

}  // namespace qm
