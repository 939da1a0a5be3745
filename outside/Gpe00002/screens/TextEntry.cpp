#include "screens/TextEntry.h"

#include "TouchStyle.h"

#include <QApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <functional>

namespace Gpe00002 {

namespace {

// The keys in rows of eleven columns, in upper case; the last column of the first two rows
// holds "Apaga" and "Limpa".
const QString kRows[] = {
    QStringLiteral("1234567890"),  QStringLiteral("QWERTYUIOP"),  QStringLiteral("ASDFGHJKLÇ'"),
    QStringLiteral("ZXCVBNM,.-/"), QStringLiteral("ÁÀÂÃÉÊÍÓÔÕÚ"),
};
constexpr int kColumns = 11;

}  // namespace

TextEntryDialog::TextEntryDialog(const QString& title, const QString& prompt, int maxLength) : m_maxLength(maxLength) {
    QVBoxLayout* content = Style::frameDialog(*this, title);
    if (!prompt.isEmpty()) content->addWidget(Style::promptLabel(prompt, this));

    m_field = new QLineEdit(this);
    m_field->setObjectName(QStringLiteral("texto"));
    if (m_maxLength > 0) m_field->setMaxLength(m_maxLength);
    QFont fieldFont(Style::kFontFamily);
    fieldFont.setPointSize(22);
    m_field->setFont(fieldFont);
    m_field->setMinimumHeight(Style::kButtonMinHeight);
    m_field->setStyleSheet(QStringLiteral("QLineEdit { background: white; color: black; border: 2px solid %1;"
                                          " border-radius: 4px; padding: 2px 10px; }")
                               .arg(Style::kAccent.name()));
    m_field->installEventFilter(this);
    connect(m_field, &QLineEdit::textChanged, this, &TextEntryDialog::refresh);
    content->addWidget(m_field);

    auto* status = new QHBoxLayout;
    m_warning = Style::textLabel({}, QStringLiteral("aviso"), this);
    m_warning->setStyleSheet(
        QStringLiteral("QLabel#aviso { color: %1; font-weight: bold; }").arg(Style::kAccent.name()));
    // Its line is there while it is empty: the keys under it never move when a refusal shows.
    m_warning->setMinimumHeight(QFontMetrics(m_warning->font()).height());
    m_counter = Style::textLabel({}, QStringLiteral("contador"), this);
    m_counter->setWordWrap(false);
    m_counter->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_counter->setVisible(m_maxLength > 0);
    status->addWidget(m_warning, 1);
    status->addWidget(m_counter);
    content->addLayout(status);

    auto* keys = new QGridLayout;
    keys->setSpacing(6);
    const auto addKey = [&](const QString& face, const QString& name, int row, int column, int span,
                            const std::function<void()>& action) {
        QPushButton* key = Style::touchButton(face, name, this);
        if (action) connect(key, &QPushButton::clicked, this, action);
        keys->addWidget(key, row, column, 1, span);
        return key;
    };
    int row = 0;
    for (const QString& characters : kRows) {
        for (int column = 0; column < characters.size(); ++column) {
            const QString face = characters.mid(column, 1);
            QPushButton* key = addKey(face, QStringLiteral("key") + face, row, column, 1, {});
            connect(key, &QPushButton::clicked, this, [this, key] { type(key->text()); });
            if (face.front().isLetter()) m_letters.push_back(key);
        }
        ++row;
    }
    addKey(QStringLiteral("Apaga"), QStringLiteral("keyApaga"), 0, kColumns - 1, 1, [this] { erase(); });
    addKey(QStringLiteral("Limpa"), QStringLiteral("keyLimpa"), 1, kColumns - 1, 1, [this] { clear(); });
    m_shift =
        addKey(QStringLiteral("Maiúsc"), QStringLiteral("keyMaiusc"), row, 0, 2, [this] { setUpperCase(!m_upper); });
    m_shift->setCheckable(true);
    m_shift->setChecked(true);
    m_shift->setStyleSheet(
        QStringLiteral("QPushButton:checked { background: %1; color: white; }").arg(Style::kAccent.name()));
    addKey(QStringLiteral("Espaço"), QStringLiteral("keyEspaco"), row, 2, kColumns - 2,
           [this] { type(QStringLiteral(" ")); });
    for (int column = 0; column < kColumns; ++column) keys->setColumnStretch(column, 1);
    content->addLayout(keys);

    auto* actions = new QHBoxLayout;
    actions->setSpacing(8);
    actions->addStretch();
    QPushButton* cancel = Style::touchButton(QStringLiteral("Cancela"), QStringLiteral("cancel"), this);
    cancel->setMinimumWidth(160);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    QPushButton* ok = Style::touchButton(QStringLiteral("OK"), QStringLiteral("ok"), this);
    ok->setMinimumWidth(160);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    actions->addWidget(cancel);
    actions->addWidget(ok);
    content->addLayout(actions);

    refresh();
    m_field->setFocus();
}

QString TextEntryDialog::text() const { return m_field->text().trimmed(); }

bool TextEntryDialog::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_field && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        switch (key->key()) {
        case Qt::Key_Enter:
        case Qt::Key_Return: accept(); return true;
        case Qt::Key_Escape: reject(); return true;
        default: break;
        }
        // A character the field has no room for is refused out loud; the field would drop it
        // silently.
        const QString typed = key->text();
        const bool printable = !typed.isEmpty() && typed.front().isPrint() &&
                               !(key->modifiers() & (Qt::ControlModifier | Qt::MetaModifier));
        if (printable && full()) {
            refuse();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

bool TextEntryDialog::full() const {
    return m_maxLength > 0 && m_field->text().size() - m_field->selectedText().size() >= m_maxLength;
}

void TextEntryDialog::refuse() {
    m_warning->setText(QStringLiteral("Máximo de %1 caracteres").arg(m_maxLength));
    QApplication::beep();
}

void TextEntryDialog::type(const QString& characters) {
    if (full()) return refuse();
    m_field->insert(characters);
    // As on a phone's keyboard: a capital starts each word (names are typed here), and Maiúsc
    // makes the next letter a capital, not every letter after it.
    if (characters == QLatin1String(" "))
        setUpperCase(true);
    else if (m_upper && !characters.isEmpty() && characters.front().isLetter())
        setUpperCase(false);
}

void TextEntryDialog::erase() { m_field->backspace(); }

void TextEntryDialog::clear() { m_field->clear(); }

void TextEntryDialog::setUpperCase(bool upper) {
    m_upper = upper;
    m_shift->setChecked(upper);
    for (QPushButton* key : m_letters) key->setText(upper ? key->text().toUpper() : key->text().toLower());
}

void TextEntryDialog::refresh() {
    const qsizetype length = m_field->text().size();
    if (m_maxLength > 0) m_counter->setText(QStringLiteral("%1 de %2").arg(length).arg(m_maxLength));
    if (m_maxLength <= 0 || length < m_maxLength) m_warning->clear();
}

}  // namespace Gpe00002
