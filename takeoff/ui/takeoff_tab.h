#pragma once
// The "Aufmaß" tab: the take-off typed into tables (faces, and for the selected face its openings,
// edges and corner points; upstands), its figures computed by the take-off model on every
// keystroke, and the net area carried into the sheet's roof area while the two are linked.
//
// The link: the sheet's "Dachfläche" follows the take-off while it is linked. It is linked when
// the tab is first filled and the sheet's area is 0 or already equals the take-off's net area
// (so opening a calculation whose area came from its take-off keeps the link), and whenever the
// user presses "Fläche in die Kalkulation übernehmen" or ticks the link box. Typing another area
// into the sheet ends the link (the take-off then never overwrites it); so does unticking the box.
// A take-off with a faulty row carries nothing: the sheet keeps the last sound area.
//
// The tab's widgets are built when it is first shown; until then it costs the window nothing but
// its listener on the area field.

#include "rx_spin_edit.h"
#include "takeoff.h"

#include <QString>
#include <QWidget>
#include <functional>
#include <optional>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;
class QTableWidget;

namespace pyrelto {

class Sheet;
class FaceDrawingWidget;

class TakeOffTab final : public QWidget, private TRxSpinEditObserver {
public:
    // The tables of the tab. Their columns are listed in takeoff_tab.cpp.
    enum class Table { Faces, Openings, Edges, Points, Upstands };

    // Shows and edits `takeOff`; writes the net area into `sheet`. Both must outlive the tab.
    TakeOffTab(Sheet& sheet, TakeOff& takeOff, QWidget* parent = nullptr);
    ~TakeOffTab() override;
    TakeOffTab(const TakeOffTab&) = delete;
    TakeOffTab& operator=(const TakeOffTab&) = delete;

    // The take-off was replaced (a calculation opened): its rows are shown anew and the link is
    // decided anew; the sheet is not written.
    void takeOffReplaced();
    // The sheet writes numbers with another decimal separator now.
    void numberFormatChanged();

    // "Fläche in die Kalkulation übernehmen": writes the net area into the sheet's area field
    // through the same path as typing, and keeps it linked. Does nothing (and says why) while a
    // row has an error.
    void takeArea();
    bool linked() const noexcept { return linked_; }
    // Called whenever the sheet's area starts or stops following a take-off that has rows (an
    // empty take-off linked to an area of 0 is nothing to show).
    void setLinkListener(std::function<void(bool)> listener) {
        linkListener_ = std::move(listener);
    }
    bool linkShown() const noexcept { return linked_ && !takeOff_.empty(); }

    // Builds the widgets now (they are otherwise built when the tab is first shown).
    void ensureBuilt();
    bool built() const noexcept { return facesTable != nullptr; }

    // The row of the faces table whose openings, edges and corners are shown, or -1.
    int selectedFace() const noexcept { return selectedFace_; }
    // What the take-off comes to as it stands.
    const TakeOffResult& result() const noexcept { return result_; }
    // The message of the last typed entry that was refused, empty when it was taken.
    const QString& inputMessage() const noexcept { return inputMessage_; }

    // Column headers and choices of a table; a choice column has a non-empty list.
    static QStringList columnTitles(Table table);
    static QStringList choices(Table table, int column);

    // The cell's text as the model holds it, in the sheet's number format.
    QString cellText(Table table, int row, int column) const;
    bool cellEditable(Table table, int row, int column) const;
    // Takes a typed text into the model and recomputes; a text that is no valid entry changes
    // nothing and returns a German message (also shown in the tab).
    QString enterCell(Table table, int row, int column, const QString& text);

    QTableWidget* table(Table table) const;

    // The widgets, built on first show.
    QTableWidget* facesTable = nullptr;
    QTableWidget* openingsTable = nullptr;
    QTableWidget* edgesTable = nullptr;
    QTableWidget* pointsTable = nullptr;
    QTableWidget* upstandsTable = nullptr;
    QTabWidget* detailTabs = nullptr;
    QLineEdit* thresholdEdit = nullptr;
    QPushButton* addFaceButton = nullptr;
    QPushButton* removeFaceButton = nullptr;
    QPushButton* addOpeningButton = nullptr;
    QPushButton* removeOpeningButton = nullptr;
    QPushButton* addEdgeButton = nullptr;
    QPushButton* removeEdgeButton = nullptr;
    QPushButton* outlineEdgesButton = nullptr;
    QPushButton* addPointButton = nullptr;
    QPushButton* removePointButton = nullptr;
    QPushButton* addUpstandButton = nullptr;
    QPushButton* removeUpstandButton = nullptr;
    QLabel* totalsLabel = nullptr;
    QLabel* edgeTotalsLabel = nullptr;
    QLabel* messageLabel = nullptr;
    QCheckBox* linkBox = nullptr;
    QPushButton* takeAreaButton = nullptr;
    QLabel* linkLabel = nullptr;
    // The selected face to scale.
    FaceDrawingWidget* drawing = nullptr;

    // Row commands of the buttons; adding selects the new row and opens its first cell.
    void addRow(Table table);
    void removeRow(Table table);
    // "Kanten aus dem Umriss": the outline's sides of the selected rectangle or polygon appended
    // as edges of their suggested kind.
    void addOutlineEdges();

protected:
    void showEvent(QShowEvent* event) override;

private:
    friend class TakeOffCellDelegate;

    void build();
    QWidget* buildTableBox(Table table, const QString& name, QPushButton*& add,
                           QPushButton*& remove);
    // Fills a table's rows from the model.
    void showRows(Table table);
    void showAllRows();
    // Recomputes and shows the figures; carries the net area into the sheet while linked.
    void recompute();
    void showResults();
    void showLink();
    void selectFace(int row);
    void carryArea();
    // The link from the sheet's area as it stands.
    void decideLink();
    void setLinked(bool linked);
    void notifyLink();
    std::optional<Hundredths> sheetArea() const;
    char16_t separator() const;
    int rowCount(Table table) const;

    // The editor of a cell: its text as it was, so that a refused or cancelled entry is undone.
    void editStarted(Table table, int row, int column);
    void editTyped(Table table, int row, int column, const QString& text);
    void editCommitted(Table table, int row, int column, const QString& text);
    void editCancelled(Table table, int row, int column);
    // Tab and Enter move to the next cell that takes typing; Enter after the last one of a table
    // adds a row.
    void moveOn(Table table, int row, int column, bool forward, bool enter);

    void OnChange(TRxSpinEdit& field) override;

    Sheet& sheet_;
    TakeOff& takeOff_;
    TakeOffResult result_;
    bool linked_ = false;
    bool writing_ = false;
    bool linkNotified_ = false;
    int selectedFace_ = -1;
    QString inputMessage_;
    QString editOriginal_;
    std::function<void(bool)> linkListener_;
};

} // namespace pyrelto
