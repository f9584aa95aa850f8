# The scripts' checks: the folder graph of check-layering.sh, on the project's tree and on
# planted ones (host).
orv_add_test(checklayering_test SOURCES scripts/checklayering_test.cpp HOST_ONLY)
