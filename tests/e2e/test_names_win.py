from test_names import *  # noqa: F401,F403 (its cases, with the Windows program under Wine)
main()
