#pragma once
// The evaluator of formula tokens, shared by its source files: the token loop, the
// operators and the function calls. Internal to the engine.

#include "sheet/calc_internal.h"

#include <QByteArray>
#include <optional>
#include <vector>

namespace tovera::calc {

class Evaluator {
public:
    Evaluator(Context& ctx, const QByteArray& tokens, const QByteArray& extra)
        : ctx_(ctx), biff_(ctx.book.biffVersion), tokens_(tokens), extra_(extra),
          stack_(ctx.stacks[size_t(std::min(ctx.depth, 17))]),
          args_(ctx.argBuffers[size_t(std::min(ctx.depth, 17))]) {
        stack_.clear();
    }

    std::optional<Value> run();

private:
    bool step(const uint8_t* p, long size);
    bool pushRef(const uint8_t* payload, int base, bool arrayClass);
    bool callFunction(int id, int argc);
    bool callByName(Args& args);
    bool pushName(int index);
    bool arrayConstant();
    Value pop() {
        Value v = std::move(stack_.back());
        stack_.pop_back();
        return v;
    }
    Value binary(uint8_t op, const Value& a, const Value& b);
    Value unary(uint8_t op, const Value& a);

    Context& ctx_;
    int biff_;
    const QByteArray& tokens_;
    const QByteArray& extra_;
    qsizetype extraPos_ = 0;
    std::vector<Value>& stack_;
    Args& args_;
};

// A one-sheet reference as the array of its cells' values (anything else stays as it is);
// #VALUE! for several areas or sheets and past the largest array evaluated.
Value refToArray(Context& ctx, const Value& v);

} // namespace tovera::calc
