#pragma once

#include <deque>
#include <utility>

namespace vyr::test {

// Answers a test gives to a dialog before it opens, taken in order; once they run out, the
// dialog gets `whenEmpty` (a cancel, or a No).
template <class Answer>
Answer TakeAnswer(std::deque<Answer>& answers, Answer whenEmpty = {})
{
    if (answers.empty()) return whenEmpty;
    Answer answer = std::move(answers.front());
    answers.pop_front();
    return answer;
}

}  // namespace vyr::test
