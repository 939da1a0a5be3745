#include "screens/NumericKeypad.h"

#include "TouchStyle.h"

#include <QApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

namespace Gpe00002 {

KeypadBuffer::KeypadBuffer(QString initial, int maxDigits)
    : m_text(std::move(initial)), m_maxDigits(maxDigits), m_selected(!m_text.isEmpty()) {}

bool KeypadBuffer::isFull() const { return m_maxDigits > 0 && m_text.size() >= m_maxDigits; }

KeypadBuffer::Typed KeypadBuffer::type(QChar digit) {
    if (digit < QLatin1Char('0') || digit > QLatin1Char('9')) return Typed::NotADigit;
    if (m_selected) clear();
    if (isFull()) return Typed::Full;
    m_text.append(digit);
    return Typed::Digit;
}

void KeypadBuffer::erase() {
    if (m_selected) return clear();
    if (m_text.isEmpty()) return;
    // A character outside the basic plane is two UTF-16 units: erase both.
    const qsizetype units =
        m_text.size() >= 2 && m_text.back().isLowSurrogate() && m_text.at(m_text.size() - 2).isHighSurrogate() ? 2 : 1;
    m_text.chop(units);
}

void KeypadBuffer::clear() {
    m_text.clear();
    m_selected = false;
}

NumericKeypadDialog::NumericKeypadDialog(const QString& caption, const QString& prompt, const QString& prompt2,
                                         const QString& value, int maxDigits)
    : m_buffer(value, maxDigits) {
    QVBoxLayout* content = Style::frameDialog(*this, caption);
    content->addWidget(Style::textLabel(prompt, QStringLiteral("prompt"), this));
    QLabel* second = Style::textLabel(prompt2, QStringLiteral("prompt2"), this);
    second->setVisible(!prompt2.isEmpty() && prompt2 != prompt);
    content->addWidget(second);

    m_display = new QLabel(this);
    m_display->setObjectName(QStringLiteral("display"));
    m_display->setTextFormat(Qt::PlainText);
    m_display->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_display->setMinimumHeight(Style::kButtonMinHeight);
    QFont displayFont = font();
    displayFont.setPointSize(24);
    displayFont.setBold(true);
    m_display->setFont(displayFont);
    content->addWidget(m_display);
    // The warning's line is there, empty, while it is hidden: the keys under it never move when
    // it shows.
    m_warning = Style::textLabel(warningText(), QStringLiteral("aviso"), this);
    m_warning->setStyleSheet(
        QStringLiteral("QLabel#aviso { color: %1; font-weight: bold; }").arg(Style::kAccent.name()));
    QSizePolicy keepsItsPlace = m_warning->sizePolicy();
    keepsItsPlace.setRetainSizeWhenHidden(true);
    m_warning->setSizePolicy(keepsItsPlace);
    m_warning->hide();
    content->addWidget(m_warning);

    auto* keys = new QGridLayout;
    keys->setSpacing(8);
    static constexpr char kLayout[3][3] = {{'7', '8', '9'}, {'4', '5', '6'}, {'1', '2', '3'}};
    for (int row = 0; row < 3; ++row) {
        for (int column = 0; column < 3; ++column) {
            const QChar digit = QLatin1Char(kLayout[row][column]);
            QPushButton* key = Style::touchButton(digit, QStringLiteral("key") + digit, this);
            connect(key, &QPushButton::clicked, this, [this, digit] { typeDigit(digit); });
            keys->addWidget(key, row, column);
        }
    }
    QPushButton* eraseKey = Style::touchButton(QStringLiteral("Apaga"), QStringLiteral("keyApaga"), this);
    connect(eraseKey, &QPushButton::clicked, this, &NumericKeypadDialog::erase);
    keys->addWidget(eraseKey, 3, 0);
    QPushButton* zero = Style::touchButton(QStringLiteral("0"), QStringLiteral("key0"), this);
    connect(zero, &QPushButton::clicked, this, [this] { typeDigit(QLatin1Char('0')); });
    keys->addWidget(zero, 3, 1);
    QPushButton* clearKey = Style::touchButton(QStringLiteral("Limpa"), QStringLiteral("keyLimpa"), this);
    connect(clearKey, &QPushButton::clicked, this, &NumericKeypadDialog::clear);
    keys->addWidget(clearKey, 3, 2);
    for (int column = 0; column < 3; ++column) keys->setColumnStretch(column, 1);
    content->addLayout(keys);

    auto* actions = new QHBoxLayout;
    actions->setSpacing(8);
    QPushButton* cancel = Style::touchButton(QStringLiteral("Cancela"), QStringLiteral("keyCancela"), this);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    QPushButton* ok = Style::touchButton(QStringLiteral("OK"), QStringLiteral("keyOK"), this);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    actions->addWidget(cancel);
    actions->addWidget(ok);
    content->addLayout(actions);

    setMinimumWidth(400);
    refresh();
    // Shown without a size of its own, the window would get at most two thirds of the screen's
    // height, less than the keys need on a 768-pixel screen once the prompts wrap: they would be
    // squeezed over each other. Take the height the wrapped texts and the keys need.
    ensurePolished();
    const int width = std::max(sizeHint().width(), minimumWidth());
    resize(width, heightForWidth(width));
}

void NumericKeypadDialog::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    if (key >= Qt::Key_0 && key <= Qt::Key_9) {
        typeDigit(QLatin1Char(static_cast<char>('0' + (key - Qt::Key_0))));
        return;
    }
    switch (key) {
    case Qt::Key_Backspace: erase(); break;
    case Qt::Key_Enter:
    case Qt::Key_Return: accept(); break;
    case Qt::Key_Escape: reject(); break;
    default: QDialog::keyPressEvent(event);
    }
}

void NumericKeypadDialog::typeDigit(QChar digit) {
    if (m_buffer.type(digit) == KeypadBuffer::Typed::Full) {
        m_warning->show();
        QApplication::beep();
    }
    refresh();
}

QString NumericKeypadDialog::warningText() const {
    return QStringLiteral("Máximo de %1 dígitos").arg(m_buffer.maxDigits());
}

void NumericKeypadDialog::erase() {
    m_buffer.erase();
    refresh();
}

void NumericKeypadDialog::clear() {
    m_buffer.clear();
    refresh();
}

void NumericKeypadDialog::refresh() {
    m_display->setText(m_buffer.text());
    // A selected starting text looks selected: the first digit replaces it.
    const QString colours = m_buffer.isSelected()
                                ? QStringLiteral("background: %1; color: white;").arg(Style::kAccent.name())
                                : QStringLiteral("background: white; color: black;");
    m_display->setStyleSheet(QStringLiteral("QLabel#display { border: 2px solid %1; padding: 4px 10px; %2 }")
                                 .arg(Style::kAccent.name(), colours));
    m_display->setProperty("selecionado", m_buffer.isSelected());
    if (!m_buffer.isFull()) m_warning->hide();
}

}  // namespace Gpe00002
