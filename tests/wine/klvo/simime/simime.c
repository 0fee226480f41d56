/* A simulated IME file: a DLL whose only content is its icon. */
int __stdcall SimImeEntry(void *instance, unsigned long reason, void *reserved)
{
    (void)instance;
    (void)reason;
    (void)reserved;
    return 1;
}
