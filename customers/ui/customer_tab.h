#pragma once
// The "Kunden Vorlagen" tab: the customer list ListView1 with its button panel Panel26. The tab
// owns the list; the window gives it the drop-down of KundeEd to keep equal to the list, and takes
// a customer over into the sheet when customerTakenOver is emitted.

#include "customer_list.h"

#include <QPointer>
#include <QWidget>
#include <memory>

class QAbstractItemDelegate;
class QComboBox;
class QFrame;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QPushButton;
class QTreeView;

namespace pyrelto {

class CustomerListModel;

class CustomerTab final : public QWidget {
    Q_OBJECT
public:
    // The list and its model are there at once, so the list can be loaded and the drop-down fed.
    // `Widgets::OnFirstShow` leaves the buttons and the list view until the tab is first shown
    // (or ensureWidgets is called): a window that is never switched to the tab does not pay for
    // them at its start.
    enum class Widgets { AtOnce, OnFirstShow };
    explicit CustomerTab(QWidget* parent = nullptr, Widgets widgets = Widgets::AtOnce);
    ~CustomerTab() override;

    CustomerList& list() noexcept { return list_; }
    const CustomerList& list() const noexcept { return list_; }

    // Builds the buttons and the list view if they are not there yet.
    void ensureWidgets();
    bool hasWidgets() const noexcept { return ListView1 != nullptr; }

    // The combo box whose items UpdateCombo keeps equal to the list (KundeEd). Null: none.
    void setCombo(QComboBox* combo);
    // Makes the combo's items the names in list order, empty names included; the combo's own text
    // stays as it is. The combo shows the list's own model, so no name is copied and every later
    // change of the list reaches the drop-down by itself.
    void UpdateCombo();

    // Takes a name being typed in the list's in-place editor as entered and closes the editor;
    // the window calls it before it saves the list at close, the tab when it is hidden.
    void commitEditing();
    // A name is being typed in the list's in-place editor.
    bool isEditing() const;

    void BitBtn14Click(); // "Neuer Kunde"
    void BitBtn15Click(); // "Eintrag bearbeiten"
    void BitBtn16Click(); // "Löschen"
    void BitBtn17Click(); // "Kunde in Kalkulation übernehmen..."
    void BitBtn18Click(); // "Suchen"
    void BitBtn19Click(); // "Weiter suchen"
    void ListView1DblClick();

    // The window's default and cancel buttons: Enter runs "Neuer Kunde", Escape runs "Löschen".
    // True when the key was one of them and has been handled. The caller makes sure the tab is
    // shown and that no control took the key itself.
    bool defaultButtonKey(QKeyEvent* event);

    QFrame* Panel26 = nullptr;
    QPushButton* BitBtn14 = nullptr;
    QPushButton* BitBtn15 = nullptr;
    QPushButton* BitBtn16 = nullptr;
    QPushButton* BitBtn17 = nullptr;
    QLabel* Label101 = nullptr;
    QLineEdit* SuchEd = nullptr;
    QPushButton* BitBtn18 = nullptr;
    QPushButton* BitBtn19 = nullptr;
    QTreeView* ListView1 = nullptr;

signals:
    // The selected customer is to be taken into the sheet's KundeEd, and the "Kalkulation" page
    // shown. Not emitted without a selection.
    void customerTakenOver(const QString& name);

protected:
    // Enter or Escape that no control of the tab took; keys reach this only while it is shown.
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    class ComboKeeper;

    void buildWidgets();
    void startEditing(int row);
    // Selects nothing itself (the list did); scrolls the found entry to about 50 pixels below the
    // list's top edge and gives the list the focus.
    void showFound(int row);

    CustomerList list_;
    CustomerListModel* model_ = nullptr;
    QAbstractItemDelegate* rowDelegate_ = nullptr;
    QPointer<QComboBox> combo_;
    std::unique_ptr<ComboKeeper> comboKeeper_;
};

} // namespace pyrelto
