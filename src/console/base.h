// What every console shares, whatever it draws with and reads keys from:
// the typed bytes and the keys in them, the pause, the line editor and the
// answers at the questions, what the questions showed (to show it again),
// and in play the picture of the screen, sent as it changes. A platform
// supplies the drawing (a Painter) and the reading.
#pragma once

#include <deque>
#include <string>

#include "console/columns.h"
#include "console/console.h"
#include "console/frame.h"
#include "console/input.h"

class BaseConsole : public Console, protected Painter {
public:
    ~BaseConsole() override;
    void attr(int fore, int back) override;
    void cursor(bool visible) override;
    void move(int col, int row) override;
    void clear() override;
    void text(std::string_view utf8) override;
    void flush() override;

    void play(int cols, int rows) override;
    void ask() override;
    bool playing() const override { return playing_; }

    Key key() override;
    void wait_key(int due_ms) override;
    void pause(std::string_view prompt) override;
    int read_int(int* v) override;
    bool wait_resize_or_key() override;

    // The picture of the play screen, as the game drew it.
    const Frame& frame() const { return frame_; }

protected:
    // What a platform supplies besides its Painter.
    // Shows or hides the cursor.
    virtual void show_cursor(bool visible) = 0;
    // The cursor to the start of its row, which is left blank.
    virtual void erase_line() = 0;
    // Delivers what was drawn.
    virtual void send() = 0;
    // Columns the terminal echoes a typed character in.
    virtual int echo_width(std::string_view ch) = 0;
    // Appends to in_ what the input holds now, at most room() bytes,
    // without waiting; sets eof_ once it has ended.
    virtual void fill() = 0;
    // Waits until input may have come, an event is pending, or now_ms()
    // reaches due_ms (-1: no limit).
    virtual void block(int due_ms) = 0;
    // Handles the pending events that end or suspend the program; true
    // when the terminal lost the screen (or its size) since the last call.
    virtual bool lost() = 0;
    // The terminal may have been reset: what it was last told is unknown.
    virtual void forget();

    // In play: the terminal's cursor and colours to where the game has put
    // its own, and the row under it forgotten, for a platform that writes
    // there itself.
    void hand_over();
    // The terminal's width as last measured; 0 before.
    int term_cols() const { return tcols_; }
    // Bytes fill() may add: what is read ahead stays small.
    size_t room() const;
    // The terminal was asked where "■" leaves the cursor, on row 3 from
    // column 1; its answer arrives among the typed bytes.
    void probing() { probing_ = amb_ == 0; }

    std::string in_;        // input bytes not used yet
    bool eof_ = false;      // the input has ended
    bool edit_ = true;      // input is typed: questions echo and edit it
    bool asking_ = false;   // a question waits for its answer
    bool hidden_ = false;   // cursor hidden by the game
    int amb_ = 0;           // columns the terminal draws "■" in; 0 not known

private:
    void pull();
    void answer();
    void measure();
    bool serve();
    void replay();
    void emit_text(std::string_view s);
    void keep(std::string_view s);
    void mark();
    KeyRead first_key();
    Key next_key(bool take);
    int due_partial() const;
    bool take_line();
    bool take_piped();
    void edit(const std::string& bytes);
    void show_line();
    void enter();

    int attr_ = 7;          // the colours in force, fore + 16 * back
    Columns cols_;
    int partial_since_ = -1; // when the incomplete key in in_ arrived
    Answers answers_;
    Line line_;             // what is being typed at the question
    bool ended_ = false;    // end of input typed at a question
    bool dropping_ = false; // the rest of a piped line too long is dropped
    size_t dropped_ = 0;
    // What the questions showed since the last clear, line by line, the
    // colours in force marked where they change: a redraw puts it back.
    std::deque<std::string> shown_ = {""};
    bool echoing_ = false;  // output that is no part of shown_
    bool probing_ = false;  // the terminal's answer about "■" is awaited
    bool playing_ = false;
    Frame frame_;
    int need_cols_ = 0, need_rows_ = 0; // what play needs of the terminal
    int tcols_ = 0, trows_ = 0;         // the terminal's size; 0 not measured
    bool small_ = false;    // the terminal became smaller than play needs
};
