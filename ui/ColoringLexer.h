// ColoringLexer: the QScintilla lexer of CodeEditor. It colours a UTF-8
// text by a ColoringSet: the words of each group (a word is a run of
// letters, digits, '_' and non-ASCII characters that does not start with a
// digit), the set's line comments, texts in single or double quotes (a
// doubled quote reads as two quoted texts side by side; a quoted text may
// span lines) and numbers (digits with an optional fraction and exponent).
//
// Styles: kDefault, kComment, kQuoted, kNumber, then kFirstGroup + the
// group's index. applyPalette() takes the paper and text colours of a
// palette and makes every style's colour readable on that paper: a colour
// too close to the paper is darkened (light paper) or lightened (dark
// paper), keeping its hue, until its contrast ratio reaches kMinContrast.
//
// Owned by its editor (Qt parent). Threads: the UI thread only. Nothing
// here throws.
#pragma once

#include <Qsci/qscilexercustom.h>
#include <QColor>
#include <QFont>

#include "ui/ColoringSet.h"

class QPalette;

namespace VORLIN {

class ColoringLexer : public QsciLexerCustom {
    Q_OBJECT

public:
    enum Style { kDefault = 0, kComment = 1, kQuoted = 2, kNumber = 3, kFirstGroup = 4 };
    // WCAG contrast ratio every style's text keeps against the paper.
    static constexpr double kMinContrast = 4.5;

    explicit ColoringLexer(QObject* parent = nullptr);

    // Takes the set and recolours the whole text of the editor.
    void setColoringSet(const ColoringSet& set);
    const ColoringSet& coloringSet() const { return set_; }

    // Sets paper, colour and font of every style from the palette (Base,
    // Text) and the font.
    void applyPalette(const QPalette& palette, const QFont& font);

    // `wanted`, darkened or lightened until it reads on `paper`.
    static QColor readable(const QColor& wanted, const QColor& paper);
    // The WCAG contrast ratio of two colours (1 to 21).
    static double contrast(const QColor& a, const QColor& b);

    // QsciLexer
    const char* language() const override { return "Quelmir"; }
    QString description(int style) const override;
    void styleText(int start, int end) override;
    QColor defaultColor(int style) const override;
    QColor defaultPaper(int style) const override;
    QFont defaultFont(int style) const override;
    bool caseSensitive() const override { return false; }
    const char* wordCharacters() const override;
    int braceStyle() const override { return kDefault; }

private:
    int styleCount() const { return kFirstGroup + int(set_.groups().size()); }
    QColor styleColor(int style) const;

    ColoringSet set_;
    QColor paper_;
    QColor text_;
    QFont font_;
};

}  // namespace VORLIN
