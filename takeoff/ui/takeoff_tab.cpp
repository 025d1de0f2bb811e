#include "takeoff_tab.h"

#include "face_drawing_widget.h"
#include "field_catalogue.h"
#include "qt_text.h"
#include "sheet.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSplitter>
#include <QStyledItemDelegate>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>
#include <cmath>

namespace pyrelto {

namespace {

using Table = TakeOffTab::Table;

// Columns of the tables.
enum FaceColumn { FName, FShape, FA, FB, FC, FCount, FMeasured, FPitch, FArea, FTotal, FColumns };
enum OpeningColumn { OName, OLength, OWidth, OCount, OArea, ODeducted, OColumns };
enum EdgeColumn { EKind, ELength, ECount, EColumns };
enum PointColumn { PX, PY, PColumns };
enum UpstandColumn { UName, ULength, UHeight, UCount, UArea, UTotal, UColumns };

constexpr int kNumberLength = 20;
const QColor kFaultFill(255, 214, 214);
const QColor kResultFill(238, 238, 238);

QString fromUtf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QString squareMetres(Hundredths value, char16_t separator) {
    return toQString(formatHundredths(value, separator)) + QStringLiteral(" m²");
}

bool isNumberColumn(Table table, int column) {
    switch (table) {
    case Table::Faces:
        return column != FName && column != FShape && column != FMeasured;
    case Table::Openings:
        return column != OName && column != ODeducted;
    case Table::Edges:
        return column != EKind;
    case Table::Points:
        return true;
    case Table::Upstands:
        return column != UName;
    }
    return false;
}

// Parses a typed number of the given kind. Lengths and coordinates in centimetres, angles in
// hundredths of a degree; counts whole.
QString parseLength(const QString& text, char16_t separator, Hundredths& out,
                    bool allowNegative = false) {
    const ParsedHundredths parsed =
        parseHundredths(text.toStdU16String(), separator, allowNegative);
    if (!parsed.ok())
        return fromUtf8(parsed.error);
    out = parsed.value;
    return {};
}

QString parseCount(const QString& text, char16_t separator, std::int32_t& out) {
    Hundredths value = 0;
    if (QString error = parseLength(text, separator, value); !error.isEmpty())
        return error;
    if (value % 100 != 0)
        return QStringLiteral("Die Anzahl ist eine ganze Zahl.");
    if (value < 100 || value > Hundredths{kMaxCount} * 100)
        return QStringLiteral("nur 1 bis %1.").arg(kMaxCount);
    out = static_cast<std::int32_t>(value / 100);
    return {};
}

QString parseName(const QString& text, std::u16string& out) {
    if (static_cast<std::size_t>(text.size()) > kMaxNameLength)
        return QStringLiteral("höchstens %1 Zeichen.").arg(kMaxNameLength);
    out = text.toStdU16String();
    return {};
}

template <typename Enum>
QString parseChoice(Table table, int column, const QString& text, Enum& out) {
    const qsizetype index = TakeOffTab::choices(table, column).indexOf(text);
    if (index < 0)
        return QStringLiteral("Bitte aus der Liste wählen.");
    out = static_cast<Enum>(index);
    return {};
}

// Tab and Enter move on, Escape undoes what the editor typed; every keystroke reaches the model.
} // namespace

class TakeOffCellDelegate final : public QStyledItemDelegate {
public:
    TakeOffCellDelegate(TakeOffTab& tab, Table table, QObject* parent)
        : QStyledItemDelegate(parent), tab_(tab), table_(table) {}

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& /*option*/,
                          const QModelIndex& index) const override {
        const int row = index.row();
        const int column = index.column();
        tab_.editStarted(table_, row, column);
        const QStringList choices = TakeOffTab::choices(table_, column);
        if (!choices.isEmpty()) {
            auto* combo = new QComboBox(parent);
            combo->addItems(choices);
            combo->setCurrentIndex(
                std::max(0, static_cast<int>(choices.indexOf(tab_.cellText(table_, row, column)))));
            connect(combo, &QComboBox::currentIndexChanged, combo, [this, combo, row, column] {
                tab_.editTyped(table_, row, column, combo->currentText());
            });
            combo->setProperty("takeOffRow", row);
            combo->setProperty("takeOffColumn", column);
            return combo;
        }
        auto* edit = new QLineEdit(parent);
        edit->setFrame(false);
        const bool number = isNumberColumn(table_, column);
        edit->setMaxLength(number ? kNumberLength : static_cast<int>(kMaxNameLength));
        if (number)
            edit->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        connect(edit, &QLineEdit::textEdited, edit, [this, row, column](const QString& text) {
            tab_.editTyped(table_, row, column, text);
        });
        edit->setProperty("takeOffRow", row);
        edit->setProperty("takeOffColumn", column);
        return edit;
    }

    // Only when the editor opens: the view calls this again whenever the cell's item changes, and
    // the figures shown change on every keystroke.
    void setEditorData(QWidget* editor, const QModelIndex& index) const override {
        if (editor->property("takeOffFilled").toBool())
            return;
        editor->setProperty("takeOffFilled", true);
        if (auto* edit = qobject_cast<QLineEdit*>(editor))
            edit->setText(index.data().toString());
    }

    void setModelData(QWidget* editor, QAbstractItemModel* /*model*/,
                      const QModelIndex& index) const override {
        QString text;
        if (auto* edit = qobject_cast<QLineEdit*>(editor))
            text = edit->text();
        else if (auto* combo = qobject_cast<QComboBox*>(editor))
            text = combo->currentText();
        tab_.editCommitted(table_, index.row(), index.column(), text);
    }

protected:
    bool eventFilter(QObject* object, QEvent* event) override {
        auto* editor = qobject_cast<QWidget*>(object);
        if (editor && event->type() == QEvent::KeyPress) {
            const auto* key = static_cast<QKeyEvent*>(event);
            const QModelIndex index = currentIndex(editor);
            const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
            const bool tab = key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab;
            if ((enter || tab) && index.isValid() &&
                !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
                const bool forward =
                    key->key() != Qt::Key_Backtab && !(key->modifiers() & Qt::ShiftModifier);
                emit commitData(editor);
                emit closeEditor(editor, QAbstractItemDelegate::NoHint);
                tab_.moveOn(table_, index.row(), index.column(), forward, enter);
                return true;
            }
            if (key->key() == Qt::Key_Escape && index.isValid())
                tab_.editCancelled(table_, index.row(), index.column());
        }
        return QStyledItemDelegate::eventFilter(object, event);
    }

private:
    QModelIndex currentIndex(QWidget* editor) const {
        QTableWidget* view = tab_.table(table_);
        const QVariant row = editor->property("takeOffRow");
        const QVariant column = editor->property("takeOffColumn");
        return view && row.isValid() ? view->model()->index(row.toInt(), column.toInt())
                                     : QModelIndex();
    }

    TakeOffTab& tab_;
    Table table_;
};

// ---- TakeOffTab ----

TakeOffTab::TakeOffTab(Sheet& sheet, TakeOff& takeOff, QWidget* parent)
    : QWidget(parent), sheet_(sheet), takeOff_(takeOff) {
    setObjectName(QStringLiteral("takeOffTab"));
    sheet_.number(FieldId::Dach14Ed).addObserver(this);
    result_ = computeTakeOff(takeOff_);
    decideLink();
}

TakeOffTab::~TakeOffTab() {
    sheet_.number(FieldId::Dach14Ed).removeObserver(this);
}

QStringList TakeOffTab::columnTitles(Table table) {
    switch (table) {
    case Table::Faces:
        return {QStringLiteral("Bezeichnung"),      QStringLiteral("Form"),
                QStringLiteral("Länge/Grundseite"), QStringLiteral("Breite/Höhe"),
                QStringLiteral("Obere Seite"),      QStringLiteral("Anzahl"),
                QStringLiteral("Gemessen"),         QStringLiteral("Neigung °"),
                QStringLiteral("Fläche m²"),        QStringLiteral("Summe m²")};
    case Table::Openings:
        return {QStringLiteral("Bezeichnung"), QStringLiteral("Länge"),
                QStringLiteral("Breite"),      QStringLiteral("Anzahl"),
                QStringLiteral("Fläche m²"),   QStringLiteral("Aufmaß")};
    case Table::Edges:
        return {QStringLiteral("Kante"), QStringLiteral("Länge"), QStringLiteral("Anzahl")};
    case Table::Points:
        return {QStringLiteral("x (entlang der Traufe)"), QStringLiteral("y (hangaufwärts)")};
    case Table::Upstands:
        return {QStringLiteral("Bezeichnung"), QStringLiteral("Länge"),
                QStringLiteral("Höhe"),        QStringLiteral("Anzahl"),
                QStringLiteral("Fläche m²"),   QStringLiteral("Summe m²")};
    }
    return {};
}

QStringList TakeOffTab::choices(Table table, int column) {
    if (table == Table::Faces && column == FShape)
        return {QStringLiteral("Rechteck"), QStringLiteral("Dreieck"), QStringLiteral("Trapez"),
                QStringLiteral("Vieleck")};
    // In the order of Measured.
    if (table == Table::Faces && column == FMeasured)
        return {QStringLiteral("im Grundriss"), QStringLiteral("auf der Dachfläche")};
    if (table == Table::Edges && column == EKind) {
        QStringList kinds;
        for (int kind = 0; kind < kEdgeKindCount; ++kind)
            kinds << fromUtf8(edgeKindName(static_cast<EdgeKind>(kind)));
        return kinds;
    }
    return {};
}

char16_t TakeOffTab::separator() const {
    return sheet_.numberFormat().decimalSeparator;
}

int TakeOffTab::rowCount(Table table) const {
    const Face* face =
        selectedFace_ >= 0 && static_cast<std::size_t>(selectedFace_) < takeOff_.faces.size()
            ? &takeOff_.faces[static_cast<std::size_t>(selectedFace_)]
            : nullptr;
    switch (table) {
    case Table::Faces:
        return static_cast<int>(takeOff_.faces.size());
    case Table::Openings:
        return face ? static_cast<int>(face->openings.size()) : 0;
    case Table::Edges:
        return face ? static_cast<int>(face->edges.size()) : 0;
    case Table::Points:
        return face && face->shape == FaceShape::Polygon ? static_cast<int>(face->points.size())
                                                         : 0;
    case Table::Upstands:
        return static_cast<int>(takeOff_.upstands.size());
    }
    return 0;
}

QString TakeOffTab::cellText(Table table, int row, int column) const {
    if (row < 0 || row >= rowCount(table))
        return {};
    const auto r = static_cast<std::size_t>(row);
    const char16_t sep = separator();
    const auto length = [sep](Hundredths v) { return toQString(formatHundredths(v, sep)); };
    const auto count = [](std::int32_t n) { return QString::number(n); };
    switch (table) {
    case Table::Faces: {
        const Face& face = takeOff_.faces[r];
        const FaceResult* fr = r < result_.faces.size() ? &result_.faces[r] : nullptr;
        const bool polygon = face.shape == FaceShape::Polygon;
        switch (column) {
        case FName:
            return toQString(face.name);
        case FShape:
            return choices(table, column).value(static_cast<int>(face.shape));
        case FA:
            return polygon ? QString() : length(face.a);
        case FB:
            return polygon ? QString() : length(face.b);
        case FC:
            return face.shape == FaceShape::Trapezoid ? length(face.c) : QString();
        case FCount:
            return count(face.count);
        case FMeasured:
            return choices(table, column).value(static_cast<int>(face.measured));
        case FPitch:
            return length(face.pitch);
        case FArea:
            return fr && fr->error.empty() ? length(fr->area) : QString();
        case FTotal:
            return fr && fr->error.empty() ? length(fr->total) : QString();
        default:
            return {};
        }
    }
    case Table::Openings: {
        const Opening& opening =
            takeOff_.faces[static_cast<std::size_t>(selectedFace_)].openings[r];
        const FaceResult* fr = static_cast<std::size_t>(selectedFace_) < result_.faces.size()
                                   ? &result_.faces[static_cast<std::size_t>(selectedFace_)]
                                   : nullptr;
        const OpeningResult* result = fr && r < fr->openings.size() && fr->openings[r].error.empty()
                                          ? &fr->openings[r]
                                          : nullptr;
        switch (column) {
        case OName:
            return toQString(opening.name);
        case OLength:
            return length(opening.length);
        case OWidth:
            return length(opening.width);
        case OCount:
            return count(opening.count);
        case OArea:
            return result ? length(result->area) : QString();
        case ODeducted:
            return !result            ? QString()
                   : result->deducted ? QStringLiteral("abgezogen")
                                      : QStringLiteral("übermessen");
        default:
            return {};
        }
    }
    case Table::Edges: {
        const Edge& edge = takeOff_.faces[static_cast<std::size_t>(selectedFace_)].edges[r];
        switch (column) {
        case EKind:
            return choices(table, column).value(static_cast<int>(edge.kind));
        case ELength:
            return length(edge.length);
        case ECount:
            return count(edge.count);
        default:
            return {};
        }
    }
    case Table::Points: {
        const Point& point = takeOff_.faces[static_cast<std::size_t>(selectedFace_)].points[r];
        return column == PX ? length(point.x) : column == PY ? length(point.y) : QString();
    }
    case Table::Upstands: {
        const Upstand& upstand = takeOff_.upstands[r];
        const UpstandResult* result =
            r < result_.upstands.size() && result_.upstands[r].error.empty() ? &result_.upstands[r]
                                                                             : nullptr;
        switch (column) {
        case UName:
            return toQString(upstand.name);
        case ULength:
            return length(upstand.length);
        case UHeight:
            return length(upstand.height);
        case UCount:
            return count(upstand.count);
        case UArea:
            return result ? length(result->area) : QString();
        case UTotal:
            return result ? length(result->total) : QString();
        default:
            return {};
        }
    }
    }
    return {};
}

bool TakeOffTab::cellEditable(Table table, int row, int column) const {
    if (row < 0 || row >= rowCount(table))
        return false;
    switch (table) {
    case Table::Faces: {
        const FaceShape shape = takeOff_.faces[static_cast<std::size_t>(row)].shape;
        if (column == FA || column == FB)
            return shape != FaceShape::Polygon;
        if (column == FC)
            return shape == FaceShape::Trapezoid;
        return column != FArea && column != FTotal && column < FColumns;
    }
    case Table::Openings:
        return column < OArea;
    case Table::Edges:
        return column < EColumns;
    case Table::Points:
        return column < PColumns;
    case Table::Upstands:
        return column < UArea;
    }
    return false;
}

namespace {

// Writes one typed cell into the take-off; returns a German reason, without the cell's place,
// and changes nothing when the text is no valid entry.
QString applyCell(TakeOff& takeOff, int selectedFace, Table table, std::size_t r, int column,
                  const QString& text, char16_t sep) {
    Face* face = selectedFace >= 0 && static_cast<std::size_t>(selectedFace) < takeOff.faces.size()
                     ? &takeOff.faces[static_cast<std::size_t>(selectedFace)]
                     : nullptr;
    switch (table) {
    case Table::Faces: {
        Face& f = takeOff.faces[r];
        switch (column) {
        case FName:
            return parseName(text, f.name);
        case FShape: {
            FaceShape shape{};
            if (QString error = parseChoice(table, column, text, shape); !error.isEmpty())
                return error;
            // A rectangle turned into a polygon starts from its own corners.
            if (shape == FaceShape::Polygon && f.shape == FaceShape::Rectangle &&
                f.points.empty() && f.a > 0 && f.b > 0)
                f.points = {{0, 0}, {f.a, 0}, {f.a, f.b}, {0, f.b}};
            f.shape = shape;
            return {};
        }
        case FA:
            return parseLength(text, sep, f.a);
        case FB:
            return parseLength(text, sep, f.b);
        case FC:
            return parseLength(text, sep, f.c);
        case FCount:
            return parseCount(text, sep, f.count);
        case FMeasured:
            return parseChoice(table, column, text, f.measured);
        case FPitch:
            return parseLength(text, sep, f.pitch);
        default:
            return {};
        }
    }
    case Table::Openings: {
        Opening& o = face->openings[r];
        switch (column) {
        case OName:
            return parseName(text, o.name);
        case OLength:
            return parseLength(text, sep, o.length);
        case OWidth:
            return parseLength(text, sep, o.width);
        case OCount:
            return parseCount(text, sep, o.count);
        default:
            return {};
        }
    }
    case Table::Edges: {
        Edge& e = face->edges[r];
        switch (column) {
        case EKind:
            return parseChoice(table, column, text, e.kind);
        case ELength:
            return parseLength(text, sep, e.length);
        case ECount:
            return parseCount(text, sep, e.count);
        default:
            return {};
        }
    }
    case Table::Points: {
        Point& p = face->points[r];
        return parseLength(text, sep, column == PX ? p.x : p.y, true);
    }
    case Table::Upstands: {
        Upstand& u = takeOff.upstands[r];
        switch (column) {
        case UName:
            return parseName(text, u.name);
        case ULength:
            return parseLength(text, sep, u.length);
        case UHeight:
            return parseLength(text, sep, u.height);
        case UCount:
            return parseCount(text, sep, u.count);
        default:
            return {};
        }
    }
    }
    return {};
}

} // namespace

QString TakeOffTab::enterCell(Table table, int row, int column, const QString& text) {
    if (!cellEditable(table, row, column))
        return {};
    // Parsed into a copy first: a refused text leaves the take-off exactly as it was.
    TakeOff changed = takeOff_;
    const QString error = applyCell(changed, selectedFace_, table, static_cast<std::size_t>(row),
                                    column, text, separator());
    if (!error.isEmpty()) {
        QString where;
        const QString face = QStringLiteral("Fläche %1").arg(selectedFace_ + 1);
        switch (table) {
        case Table::Faces:
            where = QStringLiteral("Fläche %1").arg(row + 1);
            break;
        case Table::Openings:
            where = face + QStringLiteral(", Aussparung %1").arg(row + 1);
            break;
        case Table::Edges:
            where = face + QStringLiteral(", Kante %1").arg(row + 1);
            break;
        case Table::Points:
            where = face + QStringLiteral(", Punkt %1").arg(row + 1);
            break;
        case Table::Upstands:
            where = QStringLiteral("Aufkantung %1").arg(row + 1);
            break;
        }
        inputMessage_ =
            QStringLiteral("%1, %2: %3").arg(where, columnTitles(table).value(column), error);
        if (built())
            showResults();
        return inputMessage_;
    }
    const bool shapeChanged = table == Table::Faces && column == FShape;
    takeOff_ = std::move(changed);
    inputMessage_.clear();
    recompute();
    if (shapeChanged && built() && row == selectedFace_)
        selectFace(row);
    return {};
}

QTableWidget* TakeOffTab::table(Table which) const {
    switch (which) {
    case Table::Faces:
        return facesTable;
    case Table::Openings:
        return openingsTable;
    case Table::Edges:
        return edgesTable;
    case Table::Points:
        return pointsTable;
    case Table::Upstands:
        return upstandsTable;
    }
    return nullptr;
}

void TakeOffTab::showEvent(QShowEvent* event) {
    ensureBuilt();
    QWidget::showEvent(event);
}

void TakeOffTab::ensureBuilt() {
    if (!built())
        build();
}

QWidget* TakeOffTab::buildTableBox(Table which, const QString& name, QPushButton*& add,
                                   QPushButton*& remove) {
    auto* box = new QWidget;
    auto* layout = new QVBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    auto* view = new QTableWidget(0, static_cast<int>(columnTitles(which).size()), box);
    view->setObjectName(name + QStringLiteral("Table"));
    view->setHorizontalHeaderLabels(columnTitles(which));
    view->setItemDelegate(new TakeOffCellDelegate(*this, which, view));
    view->setEditTriggers(QAbstractItemView::AnyKeyPressed | QAbstractItemView::DoubleClicked |
                          QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked);
    view->setSelectionMode(QAbstractItemView::SingleSelection);
    view->verticalHeader()->setDefaultSectionSize(view->fontMetrics().height() + 8);
    view->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    view->horizontalHeader()->setStretchLastSection(true);
    // Each column as wide as its title or its widest choice; names get room for a word or two.
    const QFontMetrics metrics = view->fontMetrics();
    const QStringList titles = columnTitles(which);
    for (int column = 0; column < titles.size(); ++column) {
        int width = metrics.horizontalAdvance(titles.at(column)) + 20;
        for (const QString& choice : choices(which, column))
            width = std::max(width, metrics.horizontalAdvance(choice) + 36);
        if (!isNumberColumn(which, column) && choices(which, column).isEmpty())
            width = std::max(width, metrics.horizontalAdvance(QStringLiteral("Hauptdach Süd")));
        view->setColumnWidth(column, std::max(width, metrics.horizontalAdvance(u'0') * 8));
    }
    layout->addWidget(view);
    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(4);
    add = new QPushButton(QStringLiteral("Hinzufügen"), box);
    add->setObjectName(QStringLiteral("add") + name.at(0).toUpper() + name.mid(1) +
                       QStringLiteral("Button"));
    remove = new QPushButton(QStringLiteral("Entfernen"), box);
    remove->setObjectName(QStringLiteral("remove") + name.at(0).toUpper() + name.mid(1) +
                          QStringLiteral("Button"));
    connect(add, &QPushButton::clicked, this, [this, which] { addRow(which); });
    connect(remove, &QPushButton::clicked, this, [this, which] { removeRow(which); });
    buttons->addWidget(add);
    buttons->addWidget(remove);
    buttons->addStretch();
    layout->addLayout(buttons);
    switch (which) {
    case Table::Faces:
        facesTable = view;
        break;
    case Table::Openings:
        openingsTable = view;
        break;
    case Table::Edges:
        edgesTable = view;
        break;
    case Table::Points:
        pointsTable = view;
        break;
    case Table::Upstands:
        upstandsTable = view;
        break;
    }
    return box;
}

void TakeOffTab::build() {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->setSpacing(4);

    auto* splitter = new QSplitter(Qt::Vertical, this);
    splitter->setObjectName(QStringLiteral("takeOffSplitter"));
    splitter->setChildrenCollapsible(false);

    auto* facesBox = new QGroupBox(QStringLiteral("Dachflächen"), splitter);
    facesBox->setObjectName(QStringLiteral("facesBox"));
    auto* facesLayout = new QVBoxLayout(facesBox);
    facesLayout->setContentsMargins(4, 4, 4, 4);
    facesLayout->addWidget(
        buildTableBox(Table::Faces, QStringLiteral("faces"), addFaceButton, removeFaceButton));
    addFaceButton->setText(QStringLiteral("Fläche hinzufügen"));
    removeFaceButton->setText(QStringLiteral("Fläche entfernen"));
    facesTable->horizontalHeaderItem(FA)->setToolTip(
        QStringLiteral("Rechteck: Länge entlang der Traufe; Dreieck: Grundseite; Trapez: untere "
                       "der parallelen Seiten. In Metern."));
    facesTable->horizontalHeaderItem(FB)->setToolTip(
        QStringLiteral("Rechteck: Breite hangaufwärts; Dreieck und Trapez: Höhe. In Metern."));
    facesTable->horizontalHeaderItem(FC)->setToolTip(
        QStringLiteral("Trapez: obere der parallelen Seiten. In Metern."));
    facesTable->horizontalHeaderItem(FMeasured)->setToolTip(
        QStringLiteral("Im Grundriss gemessene Maße werden durch cos(Neigung) "
                       "geteilt; auf der Dachfläche gemessene gelten, wie sie sind."));
    facesTable->horizontalHeaderItem(FCount)->setToolTip(
        QStringLiteral("Gleiche Flächen, z. B. 2 für die beiden Hälften eines Satteldachs."));
    connect(facesTable, &QTableWidget::currentCellChanged, this,
            [this](int row, int, int previous, int) {
                if (row != previous)
                    selectFace(row);
            });

    auto* middle = new QSplitter(Qt::Horizontal, splitter);
    middle->setObjectName(QStringLiteral("takeOffMiddleSplitter"));
    middle->setChildrenCollapsible(false);
    detailTabs = new QTabWidget(middle);
    detailTabs->setObjectName(QStringLiteral("takeOffDetails"));
    detailTabs->addTab(buildTableBox(Table::Openings, QStringLiteral("openings"), addOpeningButton,
                                     removeOpeningButton),
                       QStringLiteral("Aussparungen"));
    QWidget* edgesPage =
        buildTableBox(Table::Edges, QStringLiteral("edges"), addEdgeButton, removeEdgeButton);
    outlineEdgesButton = new QPushButton(QStringLiteral("Kanten aus dem Umriss"), edgesPage);
    outlineEdgesButton->setObjectName(QStringLiteral("outlineEdgesButton"));
    outlineEdgesButton->setToolTip(
        QStringLiteral("Übernimmt die Seiten eines Rechtecks oder Vielecks in ihrer wahren "
                       "Länge als Kanten."));
    connect(outlineEdgesButton, &QPushButton::clicked, this, [this] { addOutlineEdges(); });
    static_cast<QHBoxLayout*>(edgesPage->layout()->itemAt(1)->layout())
        ->insertWidget(2, outlineEdgesButton);
    detailTabs->addTab(edgesPage, QStringLiteral("Kanten"));
    detailTabs->addTab(
        buildTableBox(Table::Points, QStringLiteral("points"), addPointButton, removePointButton),
        QStringLiteral("Eckpunkte"));
    drawing = new FaceDrawingWidget(middle);
    drawing->setObjectName(QStringLiteral("faceDrawing"));
    middle->setStretchFactor(0, 3);
    middle->setStretchFactor(1, 2);

    auto* upstandsBox = new QGroupBox(QStringLiteral("Aufkantungen/Anschlüsse"), splitter);
    upstandsBox->setObjectName(QStringLiteral("upstandsBox"));
    auto* upstandsLayout = new QVBoxLayout(upstandsBox);
    upstandsLayout->setContentsMargins(4, 4, 4, 4);
    upstandsLayout->addWidget(buildTableBox(Table::Upstands, QStringLiteral("upstands"),
                                            addUpstandButton, removeUpstandButton));
    // The drawing gets the most room; the faces table scrolls.
    splitter->setStretchFactor(0, 2);
    splitter->setStretchFactor(1, 4);
    splitter->setStretchFactor(2, 1);
    splitter->setSizes({150, 300, 100});
    layout->addWidget(splitter, 1);

    auto* thresholdRow = new QHBoxLayout;
    auto* thresholdLabel = new QLabel(QStringLiteral("Aussparungen bis"), this);
    thresholdEdit = new QLineEdit(this);
    thresholdEdit->setObjectName(QStringLiteral("thresholdEdit"));
    thresholdEdit->setMaxLength(kNumberLength);
    thresholdEdit->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    thresholdEdit->setFixedWidth(thresholdEdit->fontMetrics().horizontalAdvance(u'0') * 9);
    thresholdEdit->setToolTip(fromUtf8(kOpeningThresholdHelp));
    thresholdLabel->setBuddy(thresholdEdit);
    thresholdLabel->setToolTip(thresholdEdit->toolTip());
    thresholdRow->addWidget(thresholdLabel);
    thresholdRow->addWidget(thresholdEdit);
    thresholdRow->addWidget(new QLabel(QStringLiteral("m² übermessen"), this));
    thresholdRow->addSpacing(12);
    totalsLabel = new QLabel(this);
    totalsLabel->setObjectName(QStringLiteral("totalsLabel"));
    totalsLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    thresholdRow->addWidget(totalsLabel, 1);
    layout->addLayout(thresholdRow);
    connect(thresholdEdit, &QLineEdit::textEdited, this, [this](const QString& text) {
        const ParsedHundredths parsed = parseHundredths(text.toStdU16String(), separator());
        if (!parsed.ok()) {
            inputMessage_ =
                fromUtf8(kOpeningThresholdLabel) + QStringLiteral(": ") + fromUtf8(parsed.error);
            showResults();
            return;
        }
        takeOff_.openingThreshold = parsed.value;
        inputMessage_.clear();
        recompute();
        showRows(Table::Openings);
    });
    connect(thresholdEdit, &QLineEdit::editingFinished, this, [this] {
        // A refused entry goes back to the value in force.
        thresholdEdit->setText(toQString(formatHundredths(takeOff_.openingThreshold, separator())));
    });

    edgeTotalsLabel = new QLabel(this);
    edgeTotalsLabel->setObjectName(QStringLiteral("edgeTotalsLabel"));
    edgeTotalsLabel->setWordWrap(true);
    layout->addWidget(edgeTotalsLabel);
    messageLabel = new QLabel(this);
    messageLabel->setObjectName(QStringLiteral("takeOffMessageLabel"));
    messageLabel->setWordWrap(true);
    messageLabel->setStyleSheet(QStringLiteral("color: #b00000;"));
    layout->addWidget(messageLabel);

    auto* linkRow = new QHBoxLayout;
    takeAreaButton = new QPushButton(QStringLiteral("Fläche in die Kalkulation übernehmen"), this);
    takeAreaButton->setObjectName(QStringLiteral("takeAreaButton"));
    connect(takeAreaButton, &QPushButton::clicked, this, [this] { takeArea(); });
    linkBox = new QCheckBox(QStringLiteral("Dachfläche folgt dem Aufmaß"), this);
    linkBox->setObjectName(QStringLiteral("linkBox"));
    linkBox->setToolTip(
        QStringLiteral("Solange angekreuzt, übernimmt die Kalkulation jede Änderung der "
                       "Netto-Dachfläche. Eine in der Kalkulation eingetippte Dachfläche löst "
                       "die Verknüpfung."));
    connect(linkBox, &QCheckBox::clicked, this, [this](bool checked) {
        if (checked)
            takeArea();
        else
            setLinked(false);
        showLink();
    });
    linkLabel = new QLabel(this);
    linkLabel->setObjectName(QStringLiteral("linkLabel"));
    linkLabel->setWordWrap(true);
    linkRow->addWidget(takeAreaButton);
    linkRow->addWidget(linkBox);
    linkRow->addWidget(linkLabel, 1);
    layout->addLayout(linkRow);

    showAllRows();
}

void TakeOffTab::showRows(Table which) {
    QTableWidget* view = table(which);
    if (!view)
        return;
    const int rows = rowCount(which);
    const int columns = view->columnCount();
    view->setRowCount(rows);
    for (int row = 0; row < rows; ++row) {
        for (int column = 0; column < columns; ++column) {
            QTableWidgetItem* item = view->item(row, column);
            if (!item) {
                item = new QTableWidgetItem;
                view->setItem(row, column, item);
            }
            item->setText(cellText(which, row, column));
            if (isNumberColumn(which, column))
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        }
    }
}

void TakeOffTab::showAllRows() {
    if (!built())
        return;
    thresholdEdit->setText(toQString(formatHundredths(takeOff_.openingThreshold, separator())));
    showRows(Table::Faces);
    showRows(Table::Upstands);
    const int face =
        takeOff_.faces.empty()
            ? -1
            : std::clamp(selectedFace_, 0, static_cast<int>(takeOff_.faces.size()) - 1);
    facesTable->setCurrentCell(face, face < 0 ? -1 : std::max(0, facesTable->currentColumn()));
    selectFace(face);
    showResults();
    showLink();
}

void TakeOffTab::selectFace(int row) {
    selectedFace_ = row >= 0 && row < static_cast<int>(takeOff_.faces.size()) ? row : -1;
    if (!built())
        return;
    showRows(Table::Openings);
    showRows(Table::Edges);
    showRows(Table::Points);
    const Face* face =
        selectedFace_ >= 0 ? &takeOff_.faces[static_cast<std::size_t>(selectedFace_)] : nullptr;
    const bool polygon = face && face->shape == FaceShape::Polygon;
    detailTabs->setTabEnabled(2, polygon);
    if (!polygon && detailTabs->currentIndex() == 2)
        detailTabs->setCurrentIndex(0);
    for (QPushButton* button : {addOpeningButton, removeOpeningButton, addEdgeButton,
                                removeEdgeButton, addPointButton, removePointButton})
        button->setEnabled(face != nullptr);
    showResults();
}

void TakeOffTab::recompute() {
    result_ = computeTakeOff(takeOff_);
    carryArea();
    notifyLink();
    if (built()) {
        showResults();
        showLink();
    }
}

void TakeOffTab::showResults() {
    if (!built())
        return;
    const char16_t sep = separator();
    const auto paint = [](QTableWidget* view, int row, const QString& error, const auto& editable) {
        for (int column = 0; column < view->columnCount(); ++column) {
            QTableWidgetItem* item = view->item(row, column);
            if (!item)
                continue;
            const bool takesTyping = editable(column);
            item->setFlags(takesTyping
                               ? Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable
                               : Qt::ItemIsEnabled | Qt::ItemIsSelectable);
            item->setBackground(!error.isEmpty() ? QBrush(kFaultFill)
                                : takesTyping    ? QBrush()
                                                 : QBrush(kResultFill));
            item->setToolTip(error);
        }
    };
    const auto refresh = [this, &paint](Table which, int resultColumn, auto errorOf) {
        QTableWidget* view = table(which);
        for (int row = 0; row < view->rowCount(); ++row) {
            for (int column = resultColumn; column < view->columnCount(); ++column)
                if (QTableWidgetItem* item = view->item(row, column))
                    item->setText(cellText(which, row, column));
            paint(view, row, errorOf(static_cast<std::size_t>(row)),
                  [&](int column) { return cellEditable(which, row, column); });
        }
    };
    refresh(Table::Faces, FA, [this](std::size_t r) {
        return r < result_.faces.size() ? fromUtf8(result_.faces[r].error) : QString();
    });
    const FaceResult* fr =
        selectedFace_ >= 0 && static_cast<std::size_t>(selectedFace_) < result_.faces.size()
            ? &result_.faces[static_cast<std::size_t>(selectedFace_)]
            : nullptr;
    refresh(Table::Openings, OArea, [fr](std::size_t r) {
        return fr && r < fr->openings.size() ? fromUtf8(fr->openings[r].error) : QString();
    });
    refresh(Table::Edges, EColumns, [fr](std::size_t r) {
        return fr && r < fr->edgeErrors.size() ? fromUtf8(fr->edgeErrors[r]) : QString();
    });
    refresh(Table::Points, PColumns, [fr](std::size_t) {
        return fr && fr->error.rfind("Vieleck", 0) == 0 ? fromUtf8(fr->error) : QString();
    });
    refresh(Table::Upstands, UArea, [this](std::size_t r) {
        return r < result_.upstands.size() ? fromUtf8(result_.upstands[r].error) : QString();
    });

    if (const auto& totals = result_.totals) {
        totalsLabel->setText(
            QStringLiteral("Flächen %1 − Abzüge %2 + Aufkantungen %3 = <b>Netto %4</b>")
                .arg(squareMetres(totals->gross, sep), squareMetres(totals->deductions, sep),
                     squareMetres(totals->upstands, sep), squareMetres(totals->net, sep)));
        QStringList edges;
        for (int kind = 0; kind < kEdgeKindCount; ++kind)
            if (totals->edges[kind] != 0)
                edges << fromUtf8(edgeKindName(static_cast<EdgeKind>(kind))) + QLatin1Char(' ') +
                             toQString(formatHundredths(totals->edges[kind], sep)) +
                             QStringLiteral(" m");
        edgeTotalsLabel->setText(
            QStringLiteral("Kanten: ") +
            (edges.isEmpty() ? QStringLiteral("keine") : edges.join(QStringLiteral(" · "))));
    } else {
        totalsLabel->setText(QStringLiteral("Keine Summe, solange eine Zeile einen Fehler hat."));
        edgeTotalsLabel->setText(QString());
    }

    QStringList messages;
    if (!inputMessage_.isEmpty())
        messages << inputMessage_;
    const std::vector<std::string> faults = result_.messages();
    constexpr std::size_t kShown = 4;
    for (std::size_t i = 0; i < faults.size() && i < kShown; ++i)
        messages << fromUtf8(faults[i]);
    if (faults.size() > kShown)
        messages << QStringLiteral("… und %1 weitere.").arg(faults.size() - kShown);
    messageLabel->setText(messages.join(QLatin1Char('\n')));
    messageLabel->setVisible(!messages.isEmpty());

    const Face* face =
        selectedFace_ >= 0 ? &takeOff_.faces[static_cast<std::size_t>(selectedFace_)] : nullptr;
    outlineEdgesButton->setEnabled(face && !outlineSides(*face).empty());
    removeFaceButton->setEnabled(!takeOff_.faces.empty());
    removeUpstandButton->setEnabled(!takeOff_.upstands.empty());
    if (face && fr)
        drawing->setFace(*face, *fr, sep);
    else
        drawing->clear();
}

std::optional<Hundredths> TakeOffTab::sheetArea() const {
    const long double value = sheet_.number(FieldId::Dach14Ed).GetValue();
    if (!std::isfinite(value) || std::fabs(value) > 1e15L)
        return std::nullopt;
    return static_cast<Hundredths>(std::llround(value * 100.0L));
}

void TakeOffTab::decideLink() {
    const auto area = sheetArea();
    setLinked(area && result_.totals && *area == result_.totals->net);
}

void TakeOffTab::setLinked(bool linked) {
    linked_ = linked;
    notifyLink();
}

void TakeOffTab::notifyLink() {
    if (linkShown() == linkNotified_)
        return;
    linkNotified_ = linkShown();
    if (linkListener_)
        linkListener_(linkNotified_);
}

void TakeOffTab::carryArea() {
    if (!linked_ || !result_.totals || sheetArea() == result_.totals->net)
        return;
    writing_ = true;
    try {
        sheet_.enter(FieldId::Dach14Ed, formatHundredths(result_.totals->net, separator()));
    } catch (...) {
        writing_ = false;
        throw;
    }
    writing_ = false;
}

void TakeOffTab::takeArea() {
    if (!result_.totals) {
        inputMessage_ = QStringLiteral("Die Fläche kann erst übernommen werden, wenn keine Zeile "
                                       "mehr einen Fehler hat.");
        showResults();
        showLink();
        return;
    }
    setLinked(true);
    carryArea();
    showLink();
}

void TakeOffTab::showLink() {
    if (!built())
        return;
    const QString area = toQString(sheet_.shownText(FieldId::Dach14Ed)) + QStringLiteral(" m²");
    linkBox->setChecked(linked_);
    if (!result_.totals) {
        linkLabel->setText(
            QStringLiteral("Das Aufmaß hat Fehler; die Dachfläche der Kalkulation bleibt bei %1.")
                .arg(area));
    } else if (linked_) {
        linkLabel->setText(QStringLiteral("Die Dachfläche der Kalkulation (%1) folgt dem "
                                          "Aufmaß. Eine dort eingetippte Fläche löst die "
                                          "Verknüpfung.")
                               .arg(area));
    } else {
        linkLabel->setText(QStringLiteral("Die Dachfläche der Kalkulation (%1) ist von Hand "
                                          "eingetragen und wird nicht überschrieben.")
                               .arg(area));
    }
}

void TakeOffTab::OnChange(TRxSpinEdit& /*field*/) {
    if (writing_)
        return;
    // Typed, stepped or opened: the sheet's area is the user's now, unless it is the same.
    const auto area = sheetArea();
    if (!(area && result_.totals && *area == result_.totals->net))
        setLinked(false);
    showLink();
}

void TakeOffTab::takeOffReplaced() {
    result_ = computeTakeOff(takeOff_);
    inputMessage_.clear();
    selectedFace_ = takeOff_.faces.empty() ? -1 : 0;
    decideLink();
    showAllRows();
}

void TakeOffTab::numberFormatChanged() {
    showAllRows();
}

void TakeOffTab::addRow(Table which) {
    ensureBuilt();
    Face* face =
        selectedFace_ >= 0 ? &takeOff_.faces[static_cast<std::size_t>(selectedFace_)] : nullptr;
    int row = 0;
    switch (which) {
    case Table::Faces:
        if (takeOff_.faces.size() >= kMaxRows)
            return;
        takeOff_.faces.emplace_back();
        row = static_cast<int>(takeOff_.faces.size()) - 1;
        break;
    case Table::Openings:
        if (!face || face->openings.size() >= kMaxRows)
            return;
        face->openings.emplace_back();
        row = static_cast<int>(face->openings.size()) - 1;
        break;
    case Table::Edges:
        if (!face || face->edges.size() >= kMaxRows)
            return;
        face->edges.emplace_back();
        row = static_cast<int>(face->edges.size()) - 1;
        break;
    case Table::Points:
        if (!face || face->points.size() >= kMaxPolygonPoints)
            return;
        face->points.emplace_back();
        row = static_cast<int>(face->points.size()) - 1;
        break;
    case Table::Upstands:
        if (takeOff_.upstands.size() >= kMaxRows)
            return;
        takeOff_.upstands.emplace_back();
        row = static_cast<int>(takeOff_.upstands.size()) - 1;
        break;
    }
    inputMessage_.clear();
    result_ = computeTakeOff(takeOff_);
    showRows(which);
    QTableWidget* view = table(which);
    view->setCurrentCell(row, 0);
    if (which == Table::Faces)
        selectFace(row);
    recompute();
    view->setFocus();
    view->edit(view->model()->index(row, 0));
}

void TakeOffTab::removeRow(Table which) {
    QTableWidget* view = table(which);
    if (!view)
        return;
    const int rows = rowCount(which);
    const int row = view->currentRow() >= 0 ? view->currentRow() : rows - 1;
    if (row < 0 || row >= rows)
        return;
    const auto at = static_cast<std::ptrdiff_t>(row);
    Face* face =
        selectedFace_ >= 0 ? &takeOff_.faces[static_cast<std::size_t>(selectedFace_)] : nullptr;
    switch (which) {
    case Table::Faces:
        takeOff_.faces.erase(takeOff_.faces.begin() + at);
        break;
    case Table::Openings:
        face->openings.erase(face->openings.begin() + at);
        break;
    case Table::Edges:
        face->edges.erase(face->edges.begin() + at);
        break;
    case Table::Points:
        face->points.erase(face->points.begin() + at);
        break;
    case Table::Upstands:
        takeOff_.upstands.erase(takeOff_.upstands.begin() + at);
        break;
    }
    inputMessage_.clear();
    result_ = computeTakeOff(takeOff_);
    showRows(which);
    if (which == Table::Faces) {
        const int next = std::min(row, static_cast<int>(takeOff_.faces.size()) - 1);
        facesTable->setCurrentCell(next, next < 0 ? -1 : 0);
        selectFace(next);
    }
    recompute();
}

void TakeOffTab::addOutlineEdges() {
    if (selectedFace_ < 0)
        return;
    Face& face = takeOff_.faces[static_cast<std::size_t>(selectedFace_)];
    for (const OutlineSide& side : outlineSides(face)) {
        if (face.edges.size() >= kMaxRows)
            break;
        face.edges.push_back({side.suggestedKind.value_or(EdgeKind::Traufe), side.length, 1});
    }
    inputMessage_.clear();
    showRows(Table::Edges);
    detailTabs->setCurrentIndex(1);
    recompute();
}

void TakeOffTab::editStarted(Table which, int row, int column) {
    editOriginal_ = cellText(which, row, column);
}

void TakeOffTab::editTyped(Table which, int row, int column, const QString& text) {
    const QString error = enterCell(which, row, column, text);
    if (!error.isEmpty()) {
        // While the typed text is no valid entry the figures show the cell as it was.
        enterCell(which, row, column, editOriginal_);
        inputMessage_ = error;
        showResults();
    }
}

void TakeOffTab::editCommitted(Table which, int row, int column, const QString& text) {
    const QString error = enterCell(which, row, column, text);
    if (!error.isEmpty()) {
        // What the cell held before the edit comes back; the message stays.
        enterCell(which, row, column, editOriginal_);
        inputMessage_ = error + QStringLiteral(" Der bisherige Wert bleibt.");
        showResults();
    }
    if (QTableWidget* view = table(which))
        if (QTableWidgetItem* item = view->item(row, column))
            item->setText(cellText(which, row, column));
}

void TakeOffTab::editCancelled(Table which, int row, int column) {
    enterCell(which, row, column, editOriginal_);
    inputMessage_.clear();
    showResults();
}

void TakeOffTab::moveOn(Table which, int row, int column, bool forward, bool enter) {
    QTableWidget* view = table(which);
    const int rows = rowCount(which);
    const int columns = view->columnCount();
    int r = row;
    int c = column;
    for (;;) {
        c += forward ? 1 : -1;
        if (c >= columns) {
            c = 0;
            ++r;
        } else if (c < 0) {
            c = columns - 1;
            --r;
        }
        if (r < 0 || r >= rows)
            break;
        if (cellEditable(which, r, c)) {
            view->setCurrentCell(r, c);
            view->edit(view->model()->index(r, c));
            return;
        }
    }
    if (enter && forward) {
        addRow(which);
        return;
    }
    // Past the table's first or last cell: on to the next control, as Tab does elsewhere.
    QWidget* next = view;
    do {
        next = forward ? next->nextInFocusChain() : next->previousInFocusChain();
    } while (next != view && !(next->isVisible() && next->isEnabled() &&
                               (next->focusPolicy() & Qt::TabFocus) && !view->isAncestorOf(next)));
    next->setFocus(forward ? Qt::TabFocusReason : Qt::BacktabFocusReason);
}

} // namespace pyrelto
