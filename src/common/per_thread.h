#pragma once
// One object of T for each thread that asks for it, made on first use and never
// destroyed: a thread-exit destructor would run inside the host's thread teardown,
// and a window object of one thread must never be touched from another.
// T befriends PerThread<T> when its constructor is private.
namespace tabulon {

template <typename T>
class PerThread {
  public:
    static T& Get() {
        T*& object = Slot();
        if (!object) object = new T();
        return *object;
    }
    // This thread's object if it was made, else null.
    static T* Find() noexcept { return Slot(); }

  private:
    static T*& Slot() noexcept {
        thread_local T* object = nullptr;
        return object;
    }
};

}  // namespace tabulon
