#include "output/keep_rules.h"

ReadJudgement JudgeRead(const ReadFacts& facts)
{
    ReadJudgement judgement = {READ_OFFER_AGAIN, false};
    if (facts.readerIsTarget && (facts.keysSent || facts.waitOver)) {
        judgement.verdict = READ_IS_PASTE;
        return judgement;
    }
    judgement.maybeTarget = facts.keysSent && !facts.waitOver && !facts.readerHasWindow;
    if (facts.offers >= KEEP_OFFER_LIMIT)
        judgement.verdict = READ_LEAVE_RENDERED;
    return judgement;
}

bool TakesFormat(unsigned long elapsedMs)
{
    return elapsedMs < KEEP_TAKE_BUDGET_MS;
}

bool KeepsTakenSize(size_t size)
{
    return size > 0 && size <= KEEP_FORMAT_LIMIT;
}
