#pragma once

namespace folioset {

class ReviewWindowController;

// Told when the review prompt has gone, whichever way the user closed it, once per showing.
class ReviewWindowControllerDelegate
{
public:
    virtual ~ReviewWindowControllerDelegate() = default;
    virtual void reviewWindowControllerDidFinished(ReviewWindowController *controller) = 0;
};

} // namespace folioset
