#pragma once
// Picture buttons and language arrays: a button that draws its picture, and the pictures that
// carry a button's words in Japanese (0), English (1) and Korean (2).

#include <QAbstractButton>
#include <QPixmap>
#include <array>

class PictureButton : public QAbstractButton {
    Q_OBJECT
public:
    explicit PictureButton(QWidget* parent = nullptr);
    void setPicture(const QPixmap& picture);
    QPixmap picture() const { return m_picture; }
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPixmap m_picture;
};

namespace pictures {

inline constexpr int kLanguages = 3;

// The words a picture carries in each language; a key with one text uses it for every language.
struct Words {
    const char* key;
    std::array<const char*, kLanguages> text; // UTF-8
    unsigned colour;                          // base colour 0xRRGGBB
};

// The table of picture words; null when the key is unknown.
const Words* find(const char* key);
// The font family for a language's pictures.
QString fontFamily(int language);
// Draws the picture of key in the given language at the given size in pixels.
QPixmap render(const char* key, int language, QSize size);
// Title artwork.
QPixmap title(QSize size);

} // namespace pictures

// One picture button named name, carrying the picture of key in the given language, placed in twips.
PictureButton* createPictureButton(QWidget* parent, const QString& name, const char* key, int left, int top, int width,
                                   int height, int language = 1);

// Three picture buttons stacked in one place, one per language; the current language's is shown.
struct LanguageArray {
    std::array<PictureButton*, pictures::kLanguages> img{};
    // Creates the buttons as children of parent, named name_0..name_2, with the pictures of key,
    // each placed at left/top (twips) plus its index times stepLeft, sized width x height twips.
    void create(QWidget* parent, const QString& name, const char* key, int left, int top, int width, int height,
                int stepLeft);
    PictureButton* operator[](int i) const { return img[static_cast<std::size_t>(i)]; }
    // Shows the picture of language L at the place of index 0, hides the others.
    void showLanguage(int L);
    void setEnabled(bool enabled);
    // Shows or hides the picture of language L (the others stay hidden).
    void setVisible(int L, bool visible);
};
