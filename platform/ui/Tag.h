#pragma once
// Tags: an integer on a view, kept in its "tag" dynamic property (Designer forms set it there), by
// which form pages find their views.
class QObject;
class QWidget;

namespace ui {

inline constexpr const char* kTagProperty = "tag";

// The view's tag; 0 when it has none.
int tag(const QObject* view);
void setTag(QObject* view, int tag);
// The view itself when it carries the tag, else its first descendant that does (depth first, in
// child order); null when none does.
QWidget* viewWithTag(QWidget* root, int tag);

} // namespace ui
