// The command tree's records, carved from the working stack.
#include "parser/parser.h"

#include "storage/storage.h"

CommandNode* new_fork_node(uint32_t flags, CommandNode* tree)
{
    ForkNode* f = static_cast<ForkNode*>(stack_alloc(sizeof(ForkNode)));
    f->type = NODE_FORK | flags;
    f->io = nullptr;
    f->child = tree;
    return as_node(f);
}
