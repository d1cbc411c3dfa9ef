#pragma once

#include <QWidget>

class QAbstractButton;
class QComboBox;
class QHBoxLayout;
class QLineEdit;
class QVBoxLayout;

namespace quel::shell {

// A list page of the main tab strip: a bar with its command buttons and filters above a
// grid that fills the rest of the page. The grid starts as a placeholder named MSF_<list>;
// the list views put their own grid in with setGrid().
class ListPage : public QWidget
{
    Q_OBJECT

public:
    ListPage(int page, int list, QWidget* parent);

    int list() const { return m_list; }
    QHBoxLayout* bar() const { return m_bar; }
    QWidget* grid() const { return m_grid; }
    // Replaces the grid (the old one is deleted); the new grid takes the name MSF_<list>.
    void setGrid(QWidget* grid);

signals:
    void command(int index);

protected:
    QAbstractButton* addCommand(int index);
    QComboBox* addCombo(int index, const QString& tooltip);
    QLineEdit* addProductBox(const QString& objectName, const QString& label);

private:
    int m_list;
    QVBoxLayout* m_layout;
    QHBoxLayout* m_bar;
    QWidget* m_grid;
};

// Page 0: the products (buttons 0-3, filter column, mode and value Cmb 0-2, grid MSF 0).
class ProductsPage : public ListPage
{
    Q_OBJECT
public:
    explicit ProductsPage(QWidget* parent);
};

// Page 1: the product details (buttons 10-13, Cmb 3-5, grid MSF 1).
class DetailsPage : public ListPage
{
    Q_OBJECT
public:
    explicit DetailsPage(QWidget* parent);
};

// Page 2: the trades of the product in tPName (button 21, grid MSF 2).
class TradesPage : public ListPage
{
    Q_OBJECT
public:
    explicit TradesPage(QWidget* parent);
    QLineEdit* productBox() const { return m_product; }

private:
    QLineEdit* m_product;
};

// Page 3: the buyers of the product in tPName1 (buttons 30-32, grid MSF 3).
class BuyersPage : public ListPage
{
    Q_OBJECT
public:
    explicit BuyersPage(QWidget* parent);
    QLineEdit* productBox() const { return m_product; }

private:
    QLineEdit* m_product;
};

// Page 5: the usage text.
class HelpPage : public QWidget
{
    Q_OBJECT
public:
    explicit HelpPage(QWidget* parent);
};

// A grid that fills its place while the real one is not there yet.
QWidget* makeGridPlaceholder(const QString& objectName, QWidget* parent);

} // namespace quel::shell
