// What assistive technology (AT-SPI on Linux) sees of a TMarkupLabel: a
// static text whose text is the label's accessible name (the plain text the
// program gives it; the markup as such is not exposed), with one child per
// anchor, each a link named by its visible text whose press action activates
// it as a left click does.
#pragma once

class QAccessibleInterface;
class QObject;
class QString;

namespace qm {

// For QAccessible::installFactory: the interface of a TMarkupLabel, null
// for any other object.
QAccessibleInterface* MarkupLabelAccessibleFactory(const QString& className, QObject* object);

}  // namespace qm
