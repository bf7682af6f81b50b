// Sub-commands of the motefield command line.
