#include "tools/certificate/CertificateForms.h"

#include <sstream>

namespace certificate {

namespace {

// Marks, dates and fields print over the background, so their views draw no frame of their own.
constexpr const char* kStyle = R"(QLabel { color: #222222; font-size: 15px; }
QLabel[role="mark"] { color: #c62828; font-size: 17px; }
QLabel[role="date"] { font-size: 16px; }
QLabel[role="box"] { border: 2px solid #2f7d8c; border-radius: 6px; background: transparent; }
QPlainTextEdit { border: none; background: transparent; color: #222222; font-size: 13px; }
QPlainTextEdit[role="number"] { font-size: 18px; }
QPlainTextEdit#Comment { font-size: 15px; })";

void rect(std::ostream& out, const Rect& r, const std::string& indent) {
    out << indent << "<property name=\"geometry\"><rect><x>" << r.x << "</x><y>" << r.y << "</y><width>"
        << r.width << "</width><height>" << r.height << "</height></rect></property>\n";
}

void stringProperty(std::ostream& out, const char* name, const std::string& value, const std::string& indent,
                    bool dynamic = false) {
    out << indent << "<property name=\"" << name << "\"" << (dynamic ? " stdset=\"0\"" : "")
        << "><string notr=\"true\">" << value << "</string></property>\n";
}

void boolProperty(std::ostream& out, const char* name, bool value, const std::string& indent) {
    out << indent << "<property name=\"" << name << "\"><bool>" << (value ? "true" : "false")
        << "</bool></property>\n";
}

void enumProperty(std::ostream& out, const char* name, const char* value, const std::string& indent) {
    out << indent << "<property name=\"" << name << "\"><enum>" << value << "</enum></property>\n";
}

void alignment(std::ostream& out, const char* value, const std::string& indent) {
    out << indent << "<property name=\"alignment\"><set>" << value << "</set></property>\n";
}

std::string fontStyle(const Outlet& o) {
    if (o.box || o.kind != ViewKind::Label || (o.fontSize == 15 && !o.bold)) return {};
    std::string style = "QLabel#" + o.name + " { font-size: " + std::to_string(o.fontSize) + "px;";
    if (o.bold) style += " font-weight: bold;";
    if (o.name == "reportLabel") style += " color: #2f7d8c;";
    return style + " }";
}

void outlet(std::ostream& out, const CertificateDefinition& d, const Outlet& o, const std::string& indent) {
    const std::string in = indent + " ";
    switch (o.kind) {
    case ViewKind::Label:
    case ViewKind::Image:
        out << indent << "<widget class=\"QLabel\" name=\"" << o.name << "\">\n";
        rect(out, o.frame, in);
        if (o.kind == ViewKind::Image) {
            boolProperty(out, "scaledContents", true, in);
        } else {
            stringProperty(out, "text", o.text, in);
            alignment(out, "Qt::AlignLeft|Qt::AlignVCenter", in);
        }
        if (o.box) stringProperty(out, "role", "box", in, true);
        break;
    case ViewKind::Block:
        out << indent << "<widget class=\"QWidget\" name=\"" << o.name << "\">\n";
        rect(out, o.frame, in);
        break;
    case ViewKind::Button:
        out << indent << "<widget class=\"QPushButton\" name=\"" << o.name << "\">\n";
        rect(out, o.frame, in);
        stringProperty(out, "text", o.text, in);
        break;
    case ViewKind::List:
        out << indent << "<widget class=\"QListWidget\" name=\"" << o.name << "\">\n";
        rect(out, o.frame, in);
        enumProperty(out, "viewMode", "QListView::IconMode", in);
        enumProperty(out, "flow", "QListView::LeftToRight", in);
        break;
    }
    if (o.hidden) boolProperty(out, "visible", false, in);
    for (const Outlet& child : d.outlets)
        if (child.form == o.form && child.parent == o.name) outlet(out, d, child, in);
    out << indent << "</widget>\n";
}

void item(std::ostream& out, const CertificateItem& item) {
    const std::string in = "   ";
    const auto label = [&](const char* role) {
        out << "  <widget class=\"QLabel\" name=\"" << itemObjectName(item) << "\">\n";
        rect(out, item.frame, in);
        if (role) stringProperty(out, "text", "", in);
        if (role) stringProperty(out, "role", role, in, true);
    };
    switch (item.kind) {
    case ItemKind::FaceImage:
    case ItemKind::OverallFace:
    case ItemKind::PhotoSlot:
        label(nullptr);
        boolProperty(out, "scaledContents", true, in);
        break;
    case ItemKind::FaceMark:
    case ItemKind::SquareCheck:
    case ItemKind::DotCheck:
    case ItemKind::MultiCheck:
        label("mark");
        alignment(out, "Qt::AlignCenter", in);
        break;
    case ItemKind::DateLabel:
    case ItemKind::WeekdayLabel:
        label("date");
        alignment(out, "Qt::AlignLeft|Qt::AlignVCenter", in);
        break;
    case ItemKind::Treatment:
    case ItemKind::NumberField:
    case ItemKind::Comment:
        out << "  <widget class=\"ui::TextView\" name=\"" << itemObjectName(item) << "\">\n";
        rect(out, item.frame, in);
        enumProperty(out, "verticalScrollBarPolicy", "Qt::ScrollBarAlwaysOff", in);
        enumProperty(out, "horizontalScrollBarPolicy", "Qt::ScrollBarAlwaysOff", in);
        if (item.kind == ItemKind::NumberField) stringProperty(out, "role", "number", in, true);
        break;
    }
    out << in << "<property name=\"tag\" stdset=\"0\"><number>" << item.tag << "</number></property>\n";
    out << "  </widget>\n";
}

} // namespace

std::string formFileName(Form form) {
    return formClassName(form) + ".ui";
}

std::string itemObjectName(const CertificateItem& item) {
    if (!item.name.empty()) return item.name;
    const std::string tag = std::to_string(item.tag);
    switch (item.kind) {
    case ItemKind::FaceImage:
        return "judg" + tag + "Image";
    case ItemKind::FaceMark:
    case ItemKind::SquareCheck:
    case ItemKind::DotCheck:
    case ItemKind::MultiCheck:
        return "mark" + tag;
    case ItemKind::DateLabel:
        return "date" + tag;
    case ItemKind::WeekdayLabel:
        return "weekday" + tag;
    case ItemKind::Treatment:
        return "treatment" + tag;
    case ItemKind::NumberField:
        return "number" + tag;
    case ItemKind::PhotoSlot:
        return "photo" + tag;
    case ItemKind::OverallFace:
        return "faceIcon" + tag;
    case ItemKind::Comment:
        break;
    }
    return "comment" + tag;
}

std::string formText(const CertificateDefinition& d, Form form) {
    const std::string name = formClassName(form);
    std::ostringstream out;
    out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    out << "<!-- Written by zaruvedez_certificate_tool from the certificate's definition. -->\n";
    out << "<ui version=\"4.0\">\n <class>" << name << "</class>\n";
    out << " <widget class=\"QWidget\" name=\"" << name << "\">\n";
    rect(out, {0, 0, kPageWidth, kPageHeight}, "  ");
    std::string style = kStyle;
    for (const Outlet& o : d.outlets)
        if (o.form == form && !fontStyle(o).empty()) style += "\n" + fontStyle(o);
    out << "  <property name=\"styleSheet\">\n   <string notr=\"true\">" << style
        << "</string>\n  </property>\n";

    out << "  <widget class=\"QLabel\" name=\"" << backgroundOutlet(form) << "\">\n";
    rect(out, {0, 0, kPageWidth, kPageHeight}, "   ");
    boolProperty(out, "scaledContents", true, "   ");
    out << "  </widget>\n";
    // Back to front: blocks and captions, then the tagged views (so they take the taps), then the
    // photo list, which opens over everything.
    const auto overlay = [](const Outlet& o) { return o.hidden; };
    for (const Outlet& o : d.outlets)
        if (o.form == form && o.parent.empty() && !overlay(o) && o.kind != ViewKind::Block)
            outlet(out, d, o, "  ");
    for (const Outlet& o : d.outlets)
        if (o.form == form && o.parent.empty() && o.kind == ViewKind::Block) outlet(out, d, o, "  ");
    for (const CertificateItem& each : d.items)
        if (each.form == form) item(out, each);
    for (const Outlet& o : d.outlets)
        if (o.form == form && o.parent.empty() && overlay(o)) outlet(out, d, o, "  ");
    out << " </widget>\n";
    out << " <customwidgets>\n";
    out << "  <customwidget>\n   <class>ui::TextView</class>\n   <extends>QPlainTextEdit</extends>\n"
           "   <header>platform/ui/TextView.h</header>\n  </customwidget>\n";
    out << " </customwidgets>\n <resources/>\n <connections/>\n</ui>\n";
    return out.str();
}

} // namespace certificate
